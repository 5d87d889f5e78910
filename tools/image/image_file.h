// Memory image files as the tools read and write them: the text format (one
// symbol per tryte, line breaks allowed) and the trit format (three trit bytes per
// tryte, nothing else), the two formats the emulator loads from its folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/machine_memory.h"

namespace quill {

enum class ImageFormat : uint8_t { text, trits };

// The tools' text images break lines every 100 trytes, for people who read them.
// The emulator's own save (codec/image_files.h) writes the whole memory as one
// line instead: it is read back by machines, and leaving out the breaks keeps its
// writer a plain chunk copy. Every reader accepts both.
inline constexpr uint64_t kImageLineSymbols = 100;

// "text" or "trits" into `out`; false for anything else.
[[nodiscard]] bool parse_image_format(const std::string& name, ImageFormat& out);

// The format a file name asks for: trits for memory_trits.txt and *.trits, text otherwise.
[[nodiscard]] ImageFormat image_format_for_path(const std::string& path);

// Writes `trytes` (TryteValues from address 0) to `path` in `format` as
// output_file.h writes every output: a file is replaced only once the new one is
// complete. False with `error` set when writing fails.
[[nodiscard]] bool write_image_file(const std::string& path, const std::vector<uint8_t>& trytes, ImageFormat format,
                                    std::string& error);

// Reads the image at `path` into `memory` as trit bytes (3 per tryte, as a machine
// holds them). The format is the one the name asks for; a name that asks for none
// in particular is read as trits only when every byte is a trit and no byte is
// whitespace. False with `error` set for an unreadable or malformed file, or one
// larger than kMemoryTrytes; reading stops as soon as that shows.
[[nodiscard]] bool read_image_file(const std::string& path, std::vector<uint8_t>& memory, std::string& error);

// As read_image_file, straight into `memory` (room for `size` trytes) from tryte 0,
// setting `trytes` to the image's length; later trytes keep their bytes. On failure
// `memory` may be partly written.
[[nodiscard]] bool read_image_into(const std::string& path, uint8_t* memory, uint64_t size, uint64_t& trytes,
                                   std::string& error);

// As read_image_file, in the format given.
[[nodiscard]] bool read_image_file_as(const std::string& path, ImageFormat format, std::vector<uint8_t>& memory,
                                      std::string& error);

}  // namespace quill
