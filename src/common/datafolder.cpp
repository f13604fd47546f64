#include "common/datafolder.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string& folderInUse() {
    static std::string folder = "data";
    return folder;
}

constexpr const char* dataPrefix = "data/";

// Any entry counts: a broken music file is the loader's to report. A folder
// that cannot be looked into leaves the reason in `problem` (the first one).
bool holdsData(const std::string& folder, std::string& problem) {
    std::error_code error;
    if (fs::exists(fs::path(folder) / dataMarker, error)) return true;
    if (error && problem.empty() && error != std::errc::no_such_file_or_directory &&
        error != std::errc::not_a_directory) {
        problem = folder + ": " + (error == std::errc::permission_denied ? "permission denied" : error.message());
    }
    return false;
}

}  // namespace

void setDataFolder(const std::string& folder) { folderInUse() = folder.empty() ? "." : folder; }

const std::string& dataFolder() { return folderInUse(); }

std::string dataFile(const std::string& path) {
    if (path.rfind(dataPrefix, 0) != 0) return path;
    return folderInUse() + "/" + path.substr(std::char_traits<char>::length(dataPrefix));
}

DataSearch findDataFolder(const std::string& given, const char* environment, const std::string& executableFolder) {
    DataSearch search;
    std::vector<std::string> candidates;
    search.givenFolder = !given.empty();
    if (search.givenFolder) {
        candidates = {given, (fs::path(given) / "data").string()};
    } else {
        search.environmentSet = environment && *environment;
        if (search.environmentSet) candidates.push_back(environment);
        candidates.push_back("data");
        if (!executableFolder.empty()) {
            const fs::path bin(executableFolder);
            candidates.push_back((bin / ".." / "share" / "tarnwick" / "data").lexically_normal().string());
            candidates.push_back((bin / "data").lexically_normal().string());
        }
    }
    for (const std::string& folder : candidates) {
        search.tried.push_back(folder);
        if (holdsData(folder, search.problem)) {
            search.found = true;
            search.folder = folder;
            return search;
        }
    }
    return search;
}

std::string dataSearchFailure(const DataSearch& search) {
    std::string text = search.problem.empty() ? "" : search.problem + "; ";
    text += "no data found: looked for ";
    for (std::size_t i = 0; i < search.tried.size(); ++i) {
        if (i > 0) text += i + 1 == search.tried.size() ? " and " : ", ";
        text += (fs::path(search.tried[i]) / dataMarker).string();
    }
    if (!search.givenFolder && !search.environmentSet) text += " ($TARNWICK_DATA is not set)";
    text += "; --data DIR names the data folder";
    return text;
}
