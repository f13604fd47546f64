// The scenes' resources: the texture set after the start-up's own three, in
// order, with the one failure signal for all of them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "common/loadstatus.h"
#include "scenes/resources.h"
#include "support/demodata.h"
#include "support/gldouble/gl_double.h"
#include "support/support.h"
#include "textures/textures.h"

namespace {

using testsupport::TempDir;

// Runs the test inside a folder, as the demo runs inside its own.
class InFolder {
public:
    explicit InFolder(const std::string& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

std::vector<Texture*> allTextures() {
    std::vector<Texture*> all = {&bordTexture, &endTexture, &bakTexture, &plimTexture, &logoTexture, &bord2Texture};
    for (Texture& t : greetTextures) all.push_back(&t);
    return all;
}

TEST(Textures, AMissingImageSetsLoadFailedWhileTheOthersLoad) {
    TempDir dir;
    ASSERT_TRUE(testsupport::makeDemoData(dir.path()));
    std::filesystem::remove(dir.file("data/Grafik/end.png"));
    InFolder in(dir.path());
    gldouble::reset();
    loadFailed = false;
    for (Texture* t : allTextures()) *t = Texture{};

    loadTexture(bordPath, bordTexture);
    loadTexture(endPath, endTexture);
    loadTexture(bakPath, bakTexture);
    loadSceneResources();

    EXPECT_TRUE(loadFailed);
    EXPECT_EQ(endTexture.glName, 0u);
    EXPECT_EQ(endTexture.pixels, nullptr);
    std::set<GLuint> names;
    for (Texture* t : allTextures())
        if (t != &endTexture) {
            EXPECT_NE(t->glName, 0u);
            names.insert(t->glName);
        }
    EXPECT_EQ(names.size(), 15u);  // bord.png twice, as two textures
    EXPECT_EQ(gldouble::countCalls("glTexImage2D"), 15);
    // After the last load the closing line's texture stays bound.
    EXPECT_EQ(gldouble::boundTexture(), greetTextures[9].glName);
    loadFailed = false;
}

}  // namespace
