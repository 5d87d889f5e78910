// Wine only: the TLS side of the test server is tls_front.py, a Linux process that
// Wine starts like any other program. Windows itself offers no TLS server that a
// test could set up without a certificate store, so elsewhere HTTPS tests fail here.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/test_tls.h"

namespace quill::test {
namespace {

// The Linux path of a Windows one, through Wine's own export; empty elsewhere.
std::string unix_path(const std::string& path) {
  using Convert = char* (*)(const WCHAR*);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  Convert convert = nullptr;
  std::memcpy(&convert, &found, sizeof convert);
  if (convert == nullptr) return "";
  std::wstring wide(path.begin(), path.end());
  char* converted = convert(wide.c_str());
  if (converted == nullptr) return "";
  std::string result(converted);
  HeapFree(GetProcessHeap(), 0, converted);
  return result;
}

struct Front {
  HANDLE process = nullptr;
  std::string port_file;
};

}  // namespace

TlsEndpoint* tls_start(const std::string& folder, uint16_t plain_port, uint16_t& public_port) {
  const std::string unix_folder = unix_path(folder);
  if (unix_folder.empty()) return nullptr;
  std::string command = std::string(QUILL_TEST_PYTHON) + " " + QUILL_SOURCE_DIR + "/tests/support/tls_front.py " +
                        std::to_string(plain_port) + " " + unix_folder + "/";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return nullptr;
  }
  CloseHandle(started.hThread);
  auto* front = new Front{started.hProcess, folder + "port"};
  for (int waited_ms = 0; waited_ms < 10'000; waited_ms += 20) {
    if (std::FILE* file = std::fopen(front->port_file.c_str(), "r")) {
      unsigned port = 0;
      const bool read = std::fscanf(file, "%u", &port) == 1;
      std::fclose(file);
      if (read && port > 0 && port < 65'536) {
        public_port = static_cast<uint16_t>(port);
        return reinterpret_cast<TlsEndpoint*>(front);
      }
    }
    Sleep(20);
  }
  tls_stop(reinterpret_cast<TlsEndpoint*>(front));
  return nullptr;
}

void tls_stop(TlsEndpoint* endpoint) {
  auto* front = reinterpret_cast<Front*>(endpoint);
  if (front == nullptr) return;
  DeleteFileA(front->port_file.c_str());  // the front's signal to end
  WaitForSingleObject(front->process, 2'000);
  CloseHandle(front->process);
  delete front;
}

// The front has done the handshake; the server reads and writes plain bytes.
bool tls_accept(TlsEndpoint*, TestSocket, TlsSession&) { return true; }
int tls_read(TlsSession&, char*, int) { return -1; }
bool tls_write(TlsSession&, const char*, size_t) { return false; }
void tls_end(TlsSession&, bool) {}

}  // namespace quill::test
