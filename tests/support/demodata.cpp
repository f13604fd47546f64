#include "support/demodata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/support.h"

namespace testsupport {

std::vector<std::string> demoDataFiles() {
    std::vector<std::string> files = {"data/musik/musik.mp3", "data/sync/sync.csv"};
    for (const char* name : {"bord", "end", "bak", "plim", "tarnwicklogo", "greets", "greet1", "greet2", "greet3",
                             "greet4", "greet5", "greet6", "greet7", "greet8", "krund"})
        files.push_back(std::string("data/Grafik/") + name + ".png");
    return files;
}

std::string fixtureSyncFile(double bpm, double offset) {
    std::ostringstream s;
    s << "title\ttest fixture\r\n"
      << "bpm\t" << bpm << "\r\n"
      << "offset\t" << offset << "\r\n"
      << "PATTERNS\r\n"
      << "res\t1\r\n"
      << "type\tBOOLEAN\r\n"
      << "beat\t1\t0\r\n"
      << "CHANNELS\r\n"
      << "kick\tbeat\r\n"
      << "repeat\t1\r\n";
    return s.str();
}

bool makeDemoData(const std::string& dir, const DemoDataOptions& options) {
    namespace fs = std::filesystem;
    fs::create_directories(dir + "/data/Grafik");
    fs::create_directories(dir + "/data/musik");
    fs::create_directories(dir + "/data/sync");
    if (!haveCommand("convert") || !haveCommand("lame") || !haveCommand("ffmpeg")) {
        ADD_FAILURE() << "convert, lame and ffmpeg are needed to make the demo's test data";
        return false;
    }
    std::string pictures;
    int hue = 0;
    for (const std::string& file : demoDataFiles()) {
        if (file.size() < 4 || file.substr(file.size() - 4) != ".png") continue;
        hue += 23;
        pictures += "convert -size 64x32 gradient:'hsl(" + std::to_string(hue) + ",100%,50%)'-white '" + dir + "/" +
                    file + "' && ";
    }
    if (!shell(pictures + "true")) {
        ADD_FAILURE() << "convert failed to make the test pictures";
        return false;
    }
    std::string wav = dir + "/tone.wav";
    std::ostringstream music;
    music << "ffmpeg -loglevel error -y -f lavfi -i 'sine=frequency=330:duration=" << options.musicSeconds
          << "' -ar 44100 -ac 2 '" << wav << "' && lame --quiet '" << wav << "' '" << dir
          << "/data/musik/musik.mp3' && rm '" << wav << "'";
    if (!shell(music.str())) {
        ADD_FAILURE() << "ffmpeg or lame failed to make the test music";
        return false;
    }
    if (options.writeSync) writeFile(dir + "/data/sync/sync.csv", fixtureSyncFile(options.bpm, 0));
    return true;
}

}  // namespace testsupport
