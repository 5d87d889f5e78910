// The HTTP client on WinHTTP: crack the URL, open a synchronous session with the
// system's automatic proxy, set the four time-outs, connect, send a GET, take the
// status as a number and read the body in pieces under its own time limit.
// Failures report the thread's last WinHTTP error, or 1 when there is none.
//
// A GET that may be aborted runs on a worker thread of its own: WinHTTP's
// synchronous calls wait up to a whole time-out for the server, and nothing short
// of them can be interrupted safely. The caller waits for the worker, looking at
// the abort flag every 50 ms, and when it is set stops waiting. The worker owns
// copies of everything it uses (the URL, the settings, the trusted certificate, a
// body buffer of its own) and its handles; of what it shares with the caller, it
// writes the outcome and the body before setting the `done` event, which the
// caller reads only after that event; the `holders` count decides which of the
// two frees the job. An abandoned worker ends within the time-outs by itself.
#include "platform/http.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/clock.h"
#include "platform/win32/http_trust.h"

namespace quill {
namespace {

constexpr wchar_t kUserAgent[] = L"Quillomar/1";

constexpr DWORD kSocketTimedOut = 10'060;  // WSAETIMEDOUT
constexpr DWORD kSocketReset = 10'054;     // WSAECONNRESET
constexpr DWORD kAbortPollMs = 50;

// The outcome of a failed system call: its error number, or 1 when it set none.
// Some clients (Wine's) let the socket's own error through where Windows reports
// the HTTP client's number for the same event: a time-out or a reset connection.
uint32_t last_error() {
  const DWORD error = GetLastError();
  if (error == kSocketTimedOut) return http_error_timeout;
  if (error == kSocketReset) return http_error_connection_reset;
  return error != 0 ? static_cast<uint32_t>(error) : uint32_t{http_error_other};
}

// The parts of a URL that the request needs, copied out of the cracked URL.
struct Target {
  wchar_t host[kHttpMaxHostLength + 1] = {};
  wchar_t path[kHttpMaxTargetLength + 2] = {};  // a leading "/" may be added
  INTERNET_PORT port = 0;
  bool secure = false;
};

uint32_t crack(const char16_t* url, Target& target) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(reinterpret_cast<const wchar_t*>(url), 0, 0, &parts)) return last_error();
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    return http_error_unrecognized_scheme;
  }
  if (parts.dwHostNameLength > kHttpMaxHostLength) return http_error_other;
  if (parts.dwUrlPathLength + parts.dwExtraInfoLength > kHttpMaxTargetLength) return http_error_other;
  std::memcpy(target.host, parts.lpszHostName, parts.dwHostNameLength * sizeof(wchar_t));
  // A bare query still needs the "/" that starts every request target.
  const DWORD lead = parts.dwUrlPathLength == 0 ? 1 : 0;
  target.path[0] = L'/';
  std::memcpy(target.path + lead, parts.lpszUrlPath, parts.dwUrlPathLength * sizeof(wchar_t));
  std::memcpy(target.path + lead + parts.dwUrlPathLength, parts.lpszExtraInfo,
              parts.dwExtraInfoLength * sizeof(wchar_t));
  target.port = parts.nPort;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return 0;
}

// The length the reply declares, or -1 when it declares none (a chunked or
// closed-ended body).
int64_t declared_length(HINTERNET request) {
  DWORD length = 0;
  DWORD size = sizeof length;
  const bool found = WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                         WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX);
  return found ? int64_t{length} : -1;
}

// Reads the body into `body`, asking each time for no more than has arrived: a read
// waits until its whole request is met, which would let a slow server hold it far
// past the body's time limit. A byte beyond the capacity lands in `spare`, and its
// arrival is what makes the body too large. A body that ends before the length its
// headers declared was cut off: some clients (Wine's) report such a reset as the
// body's normal end, and a truncated body must never pass for the resource.
uint32_t read_body(HINTERNET request, uint32_t body_read_ms, HttpBody& body) {
  const int64_t declared = declared_length(request);
  const uint64_t start_ns = clock_now_ns();
  const uint64_t limit_ns = uint64_t{body_read_ms} * 1'000'000;
  uint64_t total = 0;
  uint8_t spare = 0;
  for (;;) {
    if (clock_now_ns() - start_ns > limit_ns) return http_error_timeout;
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) return last_error();
    if (available == 0) break;
    const uint64_t room = body.capacity - total;
    const DWORD want = room == 0 ? 1 : room < available ? static_cast<DWORD>(room) : available;
    DWORD got = 0;
    if (!WinHttpReadData(request, room == 0 ? &spare : body.bytes + total, want, &got)) return last_error();
    if (got == 0) break;
    if (room == 0) return http_error_other;
    total += got;
  }
  if (declared >= 0 && total < static_cast<uint64_t>(declared)) return http_error_connection_reset;
  body.length = total;
  return 200;
}

// Sends the request and takes the reply up to its body.
uint32_t exchange(HINTERNET request, const HttpSettings& settings, const HttpTrust* trust, HttpBody& body) {
  if (trust != nullptr) http_trust_prepare(request);
  if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request, nullptr)) {
    return last_error();
  }
  if (trust != nullptr && !http_trust_check(*trust, request)) return http_error_secure_failure;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                           &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return last_error();
  }
  if (status < 100 || status > 599) return http_error_invalid_server_response;
  if (status != 200) return status;
  return read_body(request, settings.body_read_ms, body);
}

uint32_t get(const char16_t* url, const HttpSettings& settings, const HttpTrust* trust, HttpBody& body) {
  SetLastError(0);  // so that a failure reports its own error, never an older one
  auto* target = static_cast<Target*>(std::calloc(1, sizeof(Target)));  // all zero: an empty host and path
  if (target == nullptr) return http_error_other;
  uint32_t outcome = crack(url, *target);
  HINTERNET session = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  if (outcome == 0) {
    session =
        WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    const bool ready =
        session != nullptr &&
        WinHttpSetTimeouts(session, static_cast<int>(settings.resolve_ms), static_cast<int>(settings.connect_ms),
                           static_cast<int>(settings.send_ms), static_cast<int>(settings.receive_ms));
    if (ready) connection = WinHttpConnect(session, target->host, target->port, 0);
    if (connection != nullptr) {
      // WINHTTP_DEFAULT_ACCEPT_TYPES is no list: the request carries no Accept header.
      request = WinHttpOpenRequest(connection, L"GET", target->path, nullptr, WINHTTP_NO_REFERER,
                                   WINHTTP_DEFAULT_ACCEPT_TYPES, target->secure ? WINHTTP_FLAG_SECURE : 0);
    }
    // The wait for the reply's headers has its own limit of 90 s, which some clients
    // (Wine's) apply instead of the receive time-out: hold it to the receive time-out,
    // so that a silent server costs the same everywhere. Headers are held to 64 KB
    // (the Windows default, stated so that it cannot grow), and so is what the
    // client may read and throw away after a reply, trailers included.
    DWORD response_ms = settings.receive_ms;
    DWORD header_bytes = kHttpMaxHeaderBytes;
    if (request != nullptr &&
        (!WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_ms, sizeof response_ms) ||
         !WinHttpSetOption(request, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE, &header_bytes, sizeof header_bytes) ||
         !WinHttpSetOption(request, WINHTTP_OPTION_MAX_RESPONSE_DRAIN_SIZE, &header_bytes, sizeof header_bytes))) {
      WinHttpCloseHandle(request);
      request = nullptr;
    }
    outcome = request != nullptr ? exchange(request, settings, trust, body) : last_error();
  }
  if (request != nullptr) WinHttpCloseHandle(request);
  if (connection != nullptr) WinHttpCloseHandle(connection);
  if (session != nullptr) WinHttpCloseHandle(session);
  std::free(target);
  return outcome;
}

// One GET on a worker thread (see the top of the file).
struct Job {
  std::atomic<int32_t> holders{2};  // the caller and the worker; the last to let go frees the job
  HANDLE done = nullptr;            // manual reset; set once outcome and body are final
  char16_t* url = nullptr;
  HttpSettings settings;
  HttpTrust trust;  // empty: the system's store
  HttpBody body;    // the job's own buffer
  uint32_t outcome = http_error_other;
};

void let_go(Job* job) {
  if (job->holders.fetch_sub(1) != 1) return;
  if (job->done != nullptr) CloseHandle(job->done);
  std::free(job->url);
  std::free(job->body.bytes);
  http_trust_free(job->trust);
  delete job;
}

DWORD WINAPI run_job(LPVOID argument) {
  auto* job = static_cast<Job*>(argument);
  job->outcome = get(job->url, job->settings, job->trust.der != nullptr ? &job->trust : nullptr, job->body);
  SetEvent(job->done);
  let_go(job);
  return 0;
}

// Fills a job for `url`; false when memory or the event is lacking.
bool prepare_job(Job& job, const char16_t* url, const HttpSettings& settings, uint64_t capacity) {
  size_t length = 0;
  while (url[length] != u'\0') ++length;
  job.settings = settings;
  job.url = static_cast<char16_t*>(std::malloc((length + 1) * sizeof(char16_t)));
  job.body.bytes = static_cast<uint8_t*>(std::malloc(capacity == 0 ? 1 : capacity));
  job.body.capacity = capacity;
  job.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (job.url == nullptr || job.body.bytes == nullptr || job.done == nullptr) return false;
  std::memcpy(job.url, url, (length + 1) * sizeof(char16_t));
  return settings.trusted_certificate_file == nullptr || http_trust_load(settings.trusted_certificate_file, job.trust);
}

// The GET on a worker, waited for until it ends or `*abort` is set.
uint32_t get_abortable(const char16_t* url, const HttpSettings& settings, HttpBody& body,
                       const std::atomic<int32_t>& abort) {
  if (abort.load() != 0) return http_error_timeout;
  Job* job = new (std::nothrow) Job;
  if (job == nullptr) return http_error_other;
  HANDLE worker = nullptr;
  if (prepare_job(*job, url, settings, body.capacity)) worker = CreateThread(nullptr, 0, run_job, job, 0, nullptr);
  if (worker == nullptr) {
    job->holders.store(1);
    let_go(job);
    return http_error_other;
  }
  CloseHandle(worker);  // nobody joins it: it frees what it owns when it ends
  uint32_t outcome = http_error_timeout;
  for (;;) {
    if (WaitForSingleObject(job->done, kAbortPollMs) == WAIT_OBJECT_0) {
      outcome = job->outcome;
      if (outcome == 200) {
        std::memcpy(body.bytes, job->body.bytes, job->body.length);
        body.length = job->body.length;
      }
      break;
    }
    if (abort.load() != 0) break;
  }
  let_go(job);
  return outcome;
}

uint32_t get_with(const char16_t* url, const HttpSettings& settings, HttpBody& body,
                  const std::atomic<int32_t>* abort) {
  if (abort != nullptr) return get_abortable(url, settings, body, *abort);
  if (settings.trusted_certificate_file == nullptr) return get(url, settings, nullptr, body);
  HttpTrust trust;
  if (!http_trust_load(settings.trusted_certificate_file, trust)) return http_error_other;
  const uint32_t outcome = get(url, settings, &trust, body);
  http_trust_free(trust);
  return outcome;
}

}  // namespace

uint32_t http_get(const char16_t* url, const HttpSettings& settings, HttpBody& body,
                  const std::atomic<int32_t>* abort) {
  return get_with(url, settings, body, abort);
}

}  // namespace quill
