// A read-only view of a hex dump that formats only the lines it paints: a stretch of any
// size is set in constant time and scrolls at once. It selects as a read-only text box does:
// any run of characters, by mouse or keys, copied exactly.
#pragma once

#include "DatabaseImage.h"
#include "HexDump.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QFontMetricsF>
#include <QString>

#include <compare>
#include <utility>

// A place between two characters: before column Column of line Line. The end of the text is
// (lineCount, 0), after the last line's line end.
struct TextPosition {
    int Line = 0;
    int Column = 0;
    friend auto operator<=>(const TextPosition&, const TextPosition&) = default;
};

// The place between two characters of `text` nearest to `x` (pixels from the line's start),
// measured with the fractional advances the text is painted with.
[[nodiscard]] int ColumnAt(const QFontMetricsF& metrics, const QString& text, qreal x);

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

    // The selection, start before end; empty when they are equal.
    [[nodiscard]] std::pair<TextPosition, TextPosition> selection() const;
    [[nodiscard]] TextPosition cursorPosition() const { return Cursor; }
    [[nodiscard]] bool hasSelection() const { return Anchor != Cursor; }
    // The selected characters, lines joined by "\n"; whole lines read as vexlin-dump prints them.
    [[nodiscard]] QString selectedText() const;
    void select(TextPosition anchor, TextPosition cursor);
    // Lines first to last (inclusive), each with its line end.
    void selectLines(int first, int last);
    void scrollToLine(int line);
    // Where a point of the viewport falls between characters.
    [[nodiscard]] TextPosition positionAt(QPoint point) const;
    // The viewport point at the left of a position's character, on its line's top.
    [[nodiscard]] QPoint pointOf(TextPosition position) const;
    // The metrics of the painted text, with fractional advances.
    [[nodiscard]] QFontMetricsF textMetrics() const;

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
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    [[nodiscard]] int lineHeight() const;
    // The x of a position in the viewport, fractional as the text is painted.
    [[nodiscard]] qreal columnX(TextPosition position) const;
    [[nodiscard]] int visibleLines() const;
    [[nodiscard]] int lineLength(int line) const;
    [[nodiscard]] TextPosition End() const { return {lineCount(), 0}; }
    [[nodiscard]] TextPosition Clamped(TextPosition position) const;
    void moveCursorTo(TextPosition position, bool extend);
    void ensureVisible(TextPosition position);
    void dragTo(QPoint point);
    void updateScrollBars();

    const vexlin::DatabaseImage* Image = nullptr;
    vexlin::DumpStretch Stretch;
    QString Message;
    bool ShowsMessage = false;
    TextPosition Anchor;
    TextPosition Cursor;
    int PreferredColumn = -1; // kept across Up and Down
    bool Dragging = false;
    QPoint DragPoint;
    QBasicTimer DragScroll;
    std::pair<int, int> Painted{0, 0};
};
