#include "app/image_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill {
namespace {

constexpr FileStamp kOld{true, 100, 1'000};
constexpr FileStamp kHalf{true, 40, 2'000};      // being written
constexpr FileStamp kNew{true, 100, 3'000};      // same size, later change
constexpr FileStamp kGone{};                     // missing
constexpr FileStamp kText{true, 64'000'000, 5};  // the folder's second file

struct Poll {
  FileStamp first;
  FileStamp second;
  bool reload;
};

// Each sequence starts from a load of {kOld, kGone} and polls in turn.
TEST(ImageWatch, ReloadsOnceAChangeHasSettledAndOncePerChange) {
  const struct {
    const char* what;
    std::vector<Poll> polls;
  } cases[] = {
      {"nothing changes", {{kOld, kGone, false}, {kOld, kGone, false}}},
      {"a change is taken at the second poll that sees it",
       {{kNew, kGone, false}, {kNew, kGone, true}, {kNew, kGone, false}}},
      {"a file still growing is not taken",
       {{kHalf, kGone, false}, {kNew, kGone, false}, {kNew, kGone, true}, {kNew, kGone, false}}},
      {"written back as it was: nothing to load", {{kHalf, kGone, false}, {kOld, kGone, false}, {kOld, kGone, false}}},
      {"a removed file counts as a change (its load fails once)",
       {{kGone, kGone, false}, {kGone, kGone, true}, {kGone, kGone, false}, {kNew, kGone, false}, {kNew, kGone, true}}},
      {"either of the folder's files", {{kOld, kText, false}, {kOld, kText, true}}},
  };
  for (const auto& c : cases) {
    ImageWatch watch;
    watch_loaded(watch, {kOld, kGone});
    for (size_t i = 0; i < c.polls.size(); ++i) {
      const Poll& poll = c.polls[i];
      EXPECT_EQ(watch_poll(watch, {poll.first, poll.second}), poll.reload) << c.what << ", poll " << i;
    }
  }
}

TEST(ImageWatch, ALoadTakesTheFilesAsTheyAreThen) {
  ImageWatch watch;
  watch_loaded(watch, {kOld, kGone});
  EXPECT_FALSE(watch_poll(watch, {kNew, kGone}));
  watch_loaded(watch, {kNew, kGone});  // F5 in between loaded the new file
  EXPECT_FALSE(watch_poll(watch, {kNew, kGone}));
}

}  // namespace
}  // namespace quill
