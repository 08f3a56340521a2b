// The folders of an end-to-end recovery test: a scratch folder that holds
// the image, the output folder "out" and the temporary folder "tmp", which
// TMPDIR names while the test runs.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "scratch.h"

namespace varrow::testing {

class RecoveryFolders : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::string output = scratch / "out";
    std::string temp = scratch / "tmp";
    // Reset it to put TMPDIR back before a check at the end of a test.
    std::optional<ScopedTmpdir> tmpdir;

    // Makes both folders, points TMPDIR at the temporary one and starts the
    // subfolder numbers at 1.
    void SetUp() override;

    // The text of a file of the output folder.
    std::string Output(const std::string& name) const;
};

}  // namespace varrow::testing
