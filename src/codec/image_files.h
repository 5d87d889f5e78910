// The two memory image files kept in the emulator's folder: the trit file (the
// memory's bytes as they are) and the text file (one symbol per tryte).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_open.h"

namespace quill {

inline constexpr char kTritFileName[] = "memory_trits.txt";
inline constexpr char kTextFileName[] = "memory_tambrisk.txt";
inline constexpr size_t kPathCapacity = 260;  // a joined path must fit with its NUL

// Fills memory from the trit file in `folder` or, only when there is no trit file
// at all, from the text file. A trit file that is there but cannot be read (a
// folder, a FIFO, no permission, an I/O error) fails the load, so that the save at
// the end cannot overwrite it. `folder` is prefixed verbatim (it ends in a separator
// or is empty). True on success; on failure memory may be partly overwritten.
[[nodiscard]] bool load_memory_files(uint8_t* memory, uint64_t size, const char* folder);

// As load_memory_files into memory that need not hold anything yet (fresh pages
// from memory_block_allocate): the trytes after the image are set to zero, so
// nothing is written twice. On failure memory is partly unset.
[[nodiscard]] bool load_memory_image(uint8_t* memory, uint64_t size, const char* folder);

// The two halves of the load, on a file already open, which they close. Each fails
// when the file's length now, or the number of bytes read, differs from its length
// when it was opened: it was being rewritten.
[[nodiscard]] bool load_trit_image(const OpenedFile& trits, uint8_t* memory, uint64_t size);
[[nodiscard]] bool load_text_image(const OpenedFile& text, uint8_t* memory, uint64_t size);

// Writes the trit file and then the text file into `folder`. Each is written to a
// new temporary file beside it (".new" in place of ".txt"; beside the target when
// the file is a symbolic link), forced to disk and renamed over the old one only
// when complete, so a failed save leaves the previous file as it was. The two are
// written and synced at once (the text file on a second thread when one can be
// started); the trit file is renamed first, and the text file only when the trit
// file is in place. True only when both were written.
[[nodiscard]] bool save_memory_files(const uint8_t* memory, uint64_t size, const char* folder);

// Replaces the file at `path` with the first `count` trytes in the text format, the
// same way. False, leaving the old file as it was, when count > size, a tryte is not
// valid, or writing fails.
[[nodiscard]] bool write_text_image(const uint8_t* memory, uint64_t size, const char* path, uint64_t count);

// Removes the temporary files that a save killed part-way left beside the two
// files in `folder` (those two names only). For start-up, once the load succeeded.
void remove_stale_image_temporaries(const char* folder);

// Joins folder and name into `out` (kPathCapacity bytes); false when it would not fit.
[[nodiscard]] bool join_image_path(char* out, const char* folder, const char* name);

}  // namespace quill
