#include "runner/headless.h"

#include <cstdlib>
#include <new>

#include "codec/image_files.h"
#include "codec/text_image.h"
#include "host/framebuffer.h"
#include "platform/clock.h"
#include "platform/memory_block.h"

namespace quill {
namespace {

void note_end(void* context) {
  auto* host = static_cast<HeadlessHost*>(context);
  host->end_notifications.fetch_add(1);
  event_signal(host->ended_event);
}

}  // namespace

bool headless_create_unfilled(HeadlessHost& host, uint64_t size) {
  host.memory = static_cast<uint8_t*>(memory_block_allocate(3 * size));
  host.size = size;
  void* block = std::calloc(1, sizeof(Processor));
  if (host.memory == nullptr || block == nullptr) {
    std::free(block);
    headless_destroy(host);
    return false;
  }
  host.processor = ::new (block) Processor;
  if (!processor_init(*host.processor, host.memory, size) || !event_init(host.ended_event)) {
    headless_destroy(host);
    return false;
  }
  return true;
}

bool headless_create(HeadlessHost& host, uint64_t size) {
  if (!headless_create_unfilled(host, size)) return false;
  fill_zero_trytes(host.memory, size);
  return true;
}

bool headless_load_folder(HeadlessHost& host, const char* folder) {
  if (!load_memory_image(host.memory, host.size, folder)) return false;
  remove_stale_image_temporaries(folder);
  return true;
}

bool headless_load_program(HeadlessHost& host, const char* symbols, size_t length, uint64_t address) {
  TextImageReader reader{address, 0, false};
  return text_image_feed(reader, host.memory, host.size, reinterpret_cast<const uint8_t*>(symbols), length);
}

bool headless_start(HeadlessHost& host, const HeadlessOptions& options) {
  Processor& processor = *host.processor;
  if (options.boot_address >= host.size) return false;
  processor.machine.pc = options.boot_address;
  processor.host.speed = options.speed;
  processor.step_limit = options.step_limit;
  processor.step_hook = options.step_hook;
  processor.step_context = options.step_context;
  processor.debug_gate = options.debug_gate;
  return processor_start(processor, note_end, &host);
}

bool headless_push_key(HeadlessHost& host, int64_t code) { return processor_push_key(*host.processor, code); }

uint64_t headless_copy_framebuffer(HeadlessHost& host, uint32_t* out) {
  return framebuffer_copy_for_paint(host.processor->host, out);
}

bool headless_wait_end(HeadlessHost& host, uint32_t timeout_ms) {
  const uint64_t deadline = clock_now_ns() + uint64_t{timeout_ms} * 1'000'000;
  while (host.end_notifications.load() == 0) {
    const uint64_t now = clock_now_ns();
    if (now >= deadline) return false;
    const uint64_t left_ms = (deadline - now) / 1'000'000 + 1;
    (void)event_wait_ms(host.ended_event, static_cast<uint32_t>(left_ms < 100 ? left_ms : 100));
  }
  return true;
}

void headless_request_quit(HeadlessHost& host) { processor_request_quit(*host.processor); }

void headless_request_stop(HeadlessHost& host) { processor_request_stop(*host.processor); }

void headless_join(HeadlessHost& host) { processor_join(*host.processor); }

bool headless_save(HeadlessHost& host, const char* folder) {
  if (host.processor->runner_thread.started) return false;
  return save_memory_files(host.memory, host.size, folder);
}

void headless_destroy(HeadlessHost& host) {
  if (host.processor != nullptr) {
    processor_release(*host.processor);
    host.processor->~Processor();
    std::free(host.processor);
    host.processor = nullptr;
  }
  event_destroy(host.ended_event);
  memory_block_free(host.memory, 3 * host.size);
  host.memory = nullptr;
  host.size = 0;
}

}  // namespace quill
