#include "file_share.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace brontal::file {

namespace {

struct OpenEntry {
    std::uint64_t token;
    ShareRequest request;
};

struct ShareTable {
    std::mutex mutex;
    std::map<std::pair<dev_t, ino_t>, std::vector<OpenEntry>> byFile;
    std::map<std::uint64_t, std::pair<dev_t, ino_t>> byToken;
    std::uint64_t nextToken = 1;
};

ShareTable& Table() {
    static ShareTable* table = new ShareTable;
    return *table;
}

bool Compatible(const ShareRequest& open, const ShareRequest& wanted) {
    auto shares = [](const ShareRequest& r, DWORD bit) { return (r.shareMode & bit) != 0; };
    return (!wanted.read || shares(open, FILE_SHARE_READ)) &&
           (!wanted.write || shares(open, FILE_SHARE_WRITE)) &&
           (!open.read || shares(wanted, FILE_SHARE_READ)) &&
           (!open.write || shares(wanted, FILE_SHARE_WRITE));
}

}  // namespace

std::uint64_t ClaimShare(const ShareRequest& request) {
    ShareTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto key = std::make_pair(request.device, request.inode);
    auto file = table.byFile.find(key);
    if (file != table.byFile.end()) {
        for (const OpenEntry& open : file->second) {
            if (!Compatible(open.request, request)) {
                return 0;
            }
        }
    }
    std::uint64_t token = table.nextToken++;
    table.byFile[key].push_back({token, request});
    table.byToken.emplace(token, key);
    return token;
}

void ReleaseShare(std::uint64_t token) {
    ShareTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto where = table.byToken.find(token);
    if (where == table.byToken.end()) {
        return;
    }
    auto file = table.byFile.find(where->second);
    table.byToken.erase(where);
    if (file == table.byFile.end()) {
        return;
    }
    std::erase_if(file->second, [token](const OpenEntry& e) { return e.token == token; });
    if (file->second.empty()) {
        table.byFile.erase(file);
    }
}

}  // namespace brontal::file
