// The Batch Recovery page: the list of drives or disks with their output
// folders, its Start button and the buttons that edit the list. The batch
// run belongs to the main window (TolvanBatchRun.cpp), which shares one
// running state between both kinds of run.
#pragma once

#include "TolvanPanel.h"

class QKeyEvent;
class QLabel;
class QPushButton;

namespace tolvan {

class TBatchList;

class TBatchPage final : public TTolvanPanel {
    Q_OBJECT

public:
    // The page's panel, as large as parent's client area; the progress
    // panel is laid over its top left by the main window.
    TBatchPage(QWidget* parent, int width, int height);

    // --- Handlers ---
    void btnRemoveFilesClick();
    void btnRemoveAllClick();
    // Delete removes the selected rows, with Shift every row; true when
    // the key was one of these.
    bool FileListKeyDown(QKeyEvent* event);

    QLabel* labFileList;
    TBatchList* FileList;
    QPushButton* btnRepairFiles;  // the main window runs the batch
    QPushButton* btnAddFiles;     // the product adds a row
    QPushButton* btnRemoveFiles;
    QPushButton* btnRemoveAll;
};

}  // namespace tolvan
