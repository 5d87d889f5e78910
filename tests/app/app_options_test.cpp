#include "app/app_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill {
namespace {

struct Parsed {
  AppAction action;
  AppOptions options;
  std::string error;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "quillomar");
  Parsed parsed{AppAction::run, {}, {}};
  char error[kAppErrorCapacity] = {};
  parsed.action = parse_app_arguments(static_cast<int>(args.size()), args.data(), parsed.options, error);
  parsed.error = error;
  return parsed;
}

TEST(AppOptions, NoArgumentsRunTheExecutablesFolderAsAlways) {
  const Parsed parsed = parse({});
  ASSERT_EQ(parsed.action, AppAction::run);
  EXPECT_EQ(parsed.options.target, nullptr);
  EXPECT_EQ(parsed.options.save_to, nullptr);
  EXPECT_EQ(parsed.options.speed, 64'000'000u);
  EXPECT_EQ(parsed.options.entry, 216'679u);
  EXPECT_EQ(parsed.options.scale, 2);
  EXPECT_FALSE(parsed.options.fullscreen);
  EXPECT_FALSE(parsed.options.watch);
  EXPECT_EQ(parsed.options.debug_port, 0u);
}

TEST(AppOptions, EveryOptionWithATarget) {
  const Parsed parsed = parse({"--speed", "0", "img.tern", "--entry", "63_999_999", "--scale", "16", "--fullscreen",
                               "--save-to", "out", "--watch", "--debug-port", "65535"});
  ASSERT_EQ(parsed.action, AppAction::run);
  EXPECT_STREQ(parsed.options.target, "img.tern");
  EXPECT_STREQ(parsed.options.save_to, "out");
  EXPECT_EQ(parsed.options.speed, 0u);
  EXPECT_EQ(parsed.options.entry, 63'999'999u);
  EXPECT_EQ(parsed.options.scale, 16);
  EXPECT_TRUE(parsed.options.fullscreen);
  EXPECT_TRUE(parsed.options.watch);
  EXPECT_EQ(parsed.options.debug_port, 65535u);
  // After "--" a name that starts with a dash is a target; "-" alone always is.
  EXPECT_STREQ(parse({"--", "--speed"}).options.target, "--speed");
  EXPECT_STREQ(parse({"-"}).options.target, "-");
}

TEST(AppOptions, HelpAndVersionWinOverTheRest) {
  EXPECT_EQ(parse({"-h"}).action, AppAction::help);
  EXPECT_EQ(parse({"folder", "--help", "--bogus"}).action, AppAction::help);
  EXPECT_EQ(parse({"--version"}).action, AppAction::version);
}

TEST(AppOptions, BadUsageSaysWhy) {
  const struct {
    std::vector<const char*> args;
    const char* error;
  } cases[] = {
      {{"a", "b"}, "more than one FOLDER or IMAGE given (b)"},
      {{""}, "an empty FOLDER or IMAGE"},
      {{"--bogus"}, "unknown option --bogus (try --help)"},
      {{"-x"}, "unknown option -x (try --help)"},
      {{"--speed"}, "--speed needs a value"},
      {{"--speed", "-1"}, "bad --speed (instructions per second)"},
      {{"--speed", "18446744073709551616"}, "bad --speed (instructions per second)"},
      {{"--entry", "64000000"}, "bad --entry address (0 to 63999999)"},
      {{"--entry", "_1"}, "bad --entry address (0 to 63999999)"},
      {{"--scale", "0"}, "bad --scale (1 to 16)"},
      {{"--scale", "17"}, "bad --scale (1 to 16)"},
      {{"--scale", ""}, "bad --scale (1 to 16)"},
      {{"--save-to", ""}, "--save-to needs a folder"},
      {{"--debug-port", "0"}, "bad --debug-port (1 to 65535)"},
      {{"--debug-port", "65536"}, "bad --debug-port (1 to 65535)"},
      {{"--debug-port"}, "--debug-port needs a value"},
      {{"--fullscreen=1"}, "unknown option --fullscreen=1 (try --help)"},
      {{"--watch=1"}, "unknown option --watch=1 (try --help)"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = parse(c.args);
    EXPECT_EQ(parsed.action, AppAction::usage) << c.error;
    EXPECT_EQ(parsed.error, c.error);
  }
}

}  // namespace
}  // namespace quill
