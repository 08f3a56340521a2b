// The recovery log pane (txtRepairLog): a read-only text of lines with
// both scroll bars. A run over a large disk logs six lines per message,
// over a million for 200000 messages, so the pane keeps its lines packed
// in one buffer and draws only those in view: an append costs a copy of
// the line, and the scroll bars catch up once per turn of the event loop.
#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QStringList>

#include "TolvanViews.h"

namespace tolvan {

class TLogPane final : public QAbstractScrollArea, public TLogView {
    Q_OBJECT

public:
    explicit TLogPane(QWidget* parent = nullptr);

    // Adds one line at the end. The view follows the end while it shows
    // the last line.
    void AppendLine(const QString& line) override;
    // Removes every line.
    void Clear();

    qsizetype LineCount() const { return static_cast<qsizetype>(ends_.size()); }
    QString Line(qsizetype index) const;
    QStringList Lines() const;

    // Selection is by whole lines, as in a list.
    void SelectAll();
    // The selected lines joined by line feeds; empty when none is selected.
    QString SelectedText() const;
    void CopySelection() const;

    // The first line in view.
    qsizetype TopLine() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ScheduleSync();
    void Sync();
    void UpdateScrollBars();
    int LineHeight() const;
    int VisibleLines() const;
    qsizetype LineAt(int y) const;
    void SelectTo(qsizetype line, bool extend);
    bool Selected(qsizetype line) const;

    QByteArray text_;            // every line in UTF-8, back to back
    std::vector<qsizetype> ends_;  // end of line i in text_
    qsizetype measured_ = 0;     // lines whose width is known
    qsizetype longestBytes_ = 0; // bytes of the longest line measured
    int widest_ = 0;             // its width in pixels
    bool syncPending_ = false;
    qsizetype anchor_ = -1;      // selected lines: anchor_ .. cursor_
    qsizetype cursor_ = -1;
};

}  // namespace tolvan
