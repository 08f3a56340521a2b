#include "recovery_folders.h"

#include <filesystem>

#include "output/outfolders.h"

namespace varrow::testing {

void RecoveryFolders::SetUp() {
    std::filesystem::create_directory(output);
    std::filesystem::create_directory(temp);
    tmpdir.emplace(temp);
    SetSubfolderCounter(1);
}

std::string RecoveryFolders::Output(const std::string& name) const {
    return Text(ReadWholeFile(output + "/" + name));
}

}  // namespace varrow::testing
