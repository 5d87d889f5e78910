#include "host/dispatch.h"

#include <iterator>

#include "codec/literal.h"

namespace quill {
namespace {

constexpr int64_t kLowestType = -512'000'000'000;

constexpr HostRoute route_of(HostGroup group, HostGroupService service) {
  return HostRoute{host_group_first(group), host_group_last(group), group, service};
}

// Each group's range comes from the catalogue, so a new call widens it by itself.
// Within a range, numbers the catalogue does not list fail in the group's service.
constexpr HostRoute kRoutes[] = {
    route_of(HostGroup::sys, system_service),      route_of(HostGroup::core, core_service),
    route_of(HostGroup::fb, framebuffer_service),  route_of(HostGroup::kbd, keyboard_service),
    route_of(HostGroup::net, fetch_group_service),
};

constexpr bool routes_cover_every_group() {
  if (std::size(kRoutes) != std::size(kHostGroups)) return false;
  for (size_t i = 0; i < std::size(kRoutes); ++i) {
    if (kRoutes[i].group != kHostGroups[i].group) return false;
  }
  return true;
}
static_assert(routes_cover_every_group());

}  // namespace

const HostRoute* host_route(int64_t type) {
  for (const HostRoute& route : kRoutes) {
    if (type <= route.first && type >= route.last) return &route;
  }
  return nullptr;
}

bool decode_host_arguments(const Machine& machine, int64_t argument, int64_t& x, int64_t& y) {
  if (argument == NIL) {
    x = NIL;
    y = NIL;
    return true;
  }
  if (argument < 0) return false;
  const auto p = static_cast<uint64_t>(argument);
  int64_t first = NIL;
  int64_t second = NIL;
  // read_cell insists on a ten-tryte cell ("9" or "J" first), so a shorter
  // literal such as one starting with "8" is refused here.
  if (!read_cell(machine.memory, machine.size, p, first)) return false;
  if (!read_cell(machine.memory, machine.size, p + 10, second)) return false;
  x = first;
  y = second;
  return true;
}

int32_t host_dispatch(void* host_state, int64_t type, int64_t argument, int64_t* result) {
  auto* state = static_cast<HostState*>(host_state);
  if (state == nullptr || state->machine == nullptr || type >= 0) return 0;
  int64_t x = NIL;
  int64_t y = NIL;
  if (!decode_host_arguments(*state->machine, argument, x, y)) return 0;
  if (result == nullptr || type < kLowestType) return 0;
  const HostRoute* route = host_route(type);
  int64_t value = NIL;
  if (route == nullptr || !route->service(*state, type, x, y, value)) return 0;
  *result = value;
  return 1;
}

}  // namespace quill
