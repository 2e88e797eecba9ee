// A read-only view of a hex dump that formats only the lines it paints: a stretch of any
// size is set in constant time and scrolls at once. Selection is by whole lines.
#pragma once

#include "DatabaseImage.h"
#include "HexDump.h"

#include <QAbstractScrollArea>
#include <QString>

#include <utility>

class DumpView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit DumpView(QWidget* parent = nullptr);

    // Shows the lines of a stretch of image; the image must outlive the view or the next
    // SetStretch / SetMessage.
    void SetStretch(const vexlin::DatabaseImage& image, vexlin::DumpStretch stretch);
    // Shows one line of text instead of a dump ("No App Info").
    void SetMessage(const QString& line);

    [[nodiscard]] int lineCount() const;
    [[nodiscard]] QString lineText(int line) const;
    [[nodiscard]] int firstVisibleLine() const;
    // The lines the last paint drew, first and count.
    [[nodiscard]] std::pair<int, int> paintedLines() const { return Painted; }

    // Selected lines, first and last (inclusive); first > last when nothing is selected.
    [[nodiscard]] std::pair<int, int> selection() const;
    [[nodiscard]] QString selectedText() const;
    void selectLines(int anchor, int current);
    void scrollToLine(int line);

  public slots:
    void copy() const;
    void selectAll();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    [[nodiscard]] int lineHeight() const;
    [[nodiscard]] int visibleLines() const;
    [[nodiscard]] int lineAt(int y) const;
    void moveCursorTo(int line, bool extend);
    void updateScrollBars();

    const vexlin::DatabaseImage* Image = nullptr;
    vexlin::DumpStretch Stretch;
    QString Message;
    bool ShowsMessage = false;
    int Anchor = -1;
    int Cursor = -1;
    std::pair<int, int> Painted{0, 0};
};
