// Test environment: the library without a display, which gives memory bitmaps, drawing and
// packfiles to every suite, and a configuration in memory only.
#include <allegro.h>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

class AllegroEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
        set_color_depth(8);
        // Suites set configuration entries of their own; the library would write them to an
        // allegro.cfg beside the test program at exit, and the next run would read them back.
        set_config_data("", 0);
    }
};

const auto *const allegro_env = ::testing::AddGlobalTestEnvironment(new AllegroEnvironment);

} // namespace
