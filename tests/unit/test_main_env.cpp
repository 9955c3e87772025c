// Test environment: the library without a display, which gives memory bitmaps, drawing and
// packfiles to every suite.
#include <allegro.h>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

class AllegroEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
        set_color_depth(8);
    }
};

const auto *const allegro_env = ::testing::AddGlobalTestEnvironment(new AllegroEnvironment);

} // namespace
