// Paints only the visible dump lines; selection, keys, copy and the context menu.
#include "DumpView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>
#include <string>

using namespace vexlin;

namespace {
constexpr int TextMargin = 2;
constexpr int DragScrollMs = 40;

bool IsWordBreak(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('|');
}
} // namespace

DumpView::DumpView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void DumpView::SetStretch(const DatabaseImage& image, DumpStretch stretch) {
    Image = &image;
    Stretch = stretch;
    ShowsMessage = false;
    Anchor = Cursor = {};
    PreferredColumn = -1;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

void DumpView::SetMessage(const QString& line) {
    Image = nullptr;
    Stretch = {};
    Message = line;
    ShowsMessage = true;
    Anchor = Cursor = {};
    updateScrollBars();
    viewport()->update();
}

int DumpView::lineCount() const {
    if (ShowsMessage) {
        return 1;
    }
    return Image ? static_cast<int>(DumpLineCount(Stretch)) : 0;
}

QString DumpView::lineText(int line) const {
    if (line < 0 || line >= lineCount()) {
        return {};
    }
    if (ShowsMessage) {
        return Message;
    }
    char buffer[DumpLineMax];
    const auto length = FormatDumpLine(*Image, Stretch, static_cast<std::size_t>(line), buffer);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(length));
}

int DumpView::lineLength(int line) const {
    if (line < 0 || line >= lineCount()) {
        return 0;
    }
    if (ShowsMessage) {
        return static_cast<int>(Message.size());
    }
    char buffer[DumpLineMax];
    return static_cast<int>(
        FormatDumpLine(*Image, Stretch, static_cast<std::size_t>(line), buffer));
}

int DumpView::lineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int DumpView::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight());
}

int DumpView::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

TextPosition DumpView::Clamped(TextPosition p) const {
    if (p.Line >= lineCount() || lineCount() == 0) {
        return End();
    }
    if (p.Line < 0) {
        return {};
    }
    return {p.Line, std::clamp(p.Column, 0, lineLength(p.Line))};
}

TextPosition DumpView::positionAt(QPoint point) const {
    const int line =
        firstVisibleLine() + static_cast<int>(std::floor(double(point.y()) / lineHeight()));
    if (line < 0) {
        return {};
    }
    if (line >= lineCount()) {
        return End();
    }
    const QString text = lineText(line);
    return {line,
            ColumnAt(textMetrics(), text, point.x() + horizontalScrollBar()->value() - TextMargin)};
}

QPoint DumpView::pointOf(TextPosition p) const {
    return {static_cast<int>(std::lround(columnX(p))),
            (p.Line - firstVisibleLine()) * lineHeight()};
}

qreal DumpView::columnX(TextPosition p) const {
    return TextMargin - horizontalScrollBar()->value() +
           textMetrics().horizontalAdvance(lineText(p.Line).left(p.Column));
}

QFontMetricsF DumpView::textMetrics() const {
    return {viewport()->font(), viewport()};
}

int ColumnAt(const QFontMetricsF& metrics, const QString& text, qreal x) {
    // The place between two characters nearest to x: the first whose left edge lies at or
    // past x, or the one before it when that is nearer. Edges grow with the column, so a
    // binary search finds it.
    int low = 0;
    int high = static_cast<int>(text.size());
    while (low < high) {
        const int middle = (low + high) / 2;
        if (metrics.horizontalAdvance(text.left(middle)) < x) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low > 0) {
        const qreal before = metrics.horizontalAdvance(text.left(low - 1));
        const qreal after = metrics.horizontalAdvance(text.left(low));
        if (x - before < after - x) {
            return low - 1;
        }
    }
    return low;
}

void DumpView::updateScrollBars() {
    const int lines = lineCount();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, lines - visibleLines()));
    v->setPageStep(visibleLines());
    v->setSingleStep(1);
    // The last line is the longest: its offsets have the most digits.
    const QFontMetricsF metrics = textMetrics();
    const int widest = static_cast<int>(std::ceil(
                           metrics.horizontalAdvance(lineText(lines - 1) + QLatin1Char(' ')))) +
                       2 * TextMargin;
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, widest - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(
        std::max(1, static_cast<int>(std::lround(metrics.horizontalAdvance(QLatin1Char('0'))))));
}

// Every x comes from the same fractional advances as the text itself, so that the
// selection, the caret and the mouse meet the characters where they are drawn.
void DumpView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = lineHeight();
    const int first = firstVisibleLine();
    const int count = std::clamp(lineCount() - first, 0, visibleLines() + 1);
    const auto [from, to] = selection();
    const qreal x = TextMargin - horizontalScrollBar()->value();
    const QFontMetricsF metrics = textMetrics();
    const int ascent = fontMetrics().ascent();
    const qreal lineEndWidth = metrics.horizontalAdvance(QLatin1Char(' '));
    for (int i = 0; i < count; ++i) {
        const int line = first + i;
        const int top = i * height;
        const QString text = lineText(line);
        const QPointF origin(x, top + ascent);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(origin, text);
        if (from < to && line >= from.Line && line <= to.Line) {
            // The selected part of this line, and its line end when the selection goes on:
            // the same line drawn again in the highlight, cut to the selected part.
            const int start = line == from.Line ? from.Column : 0;
            const int stop = line == to.Line ? to.Column : static_cast<int>(text.size());
            const qreal left = x + metrics.horizontalAdvance(text.left(start));
            const qreal right = x + metrics.horizontalAdvance(text.left(stop)) +
                                (line < to.Line ? lineEndWidth : 0);
            const QRectF part(left, top, right - left, height);
            painter.fillRect(part, palette().highlight());
            painter.save();
            painter.setClipRect(part);
            painter.setPen(palette().color(QPalette::HighlightedText));
            painter.drawText(origin, text);
            painter.restore();
        }
    }
    if (hasFocus() && Cursor.Line >= first && Cursor.Line < first + count) {
        painter.fillRect(QRectF(columnX(Cursor), (Cursor.Line - first) * height, 1, height),
                         palette().color(QPalette::Text));
    }
    Painted = {first, count};
}

void DumpView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void DumpView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateScrollBars();
    }
}

void DumpView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void DumpView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

std::pair<TextPosition, TextPosition> DumpView::selection() const {
    return {std::min(Anchor, Cursor), std::max(Anchor, Cursor)};
}

void DumpView::select(TextPosition anchor, TextPosition cursor) {
    Anchor = Clamped(anchor);
    Cursor = Clamped(cursor);
    viewport()->update();
}

void DumpView::selectLines(int first, int last) {
    select({first, 0}, {last + 1, 0});
}

void DumpView::selectAll() {
    select({}, End());
}

QString DumpView::selectedText() const {
    const auto [from, to] = selection();
    if (!(from < to)) {
        return {};
    }
    if (from.Line == to.Line) {
        return lineText(from.Line).mid(from.Column, to.Column - from.Column);
    }
    QString text = lineText(from.Line).mid(from.Column) + QLatin1Char('\n');
    // The whole lines between, formatted straight into one buffer: a 5 MB stretch is 327,680
    // lines.
    const int firstWhole = from.Line + 1;
    const int wholeLines = to.Line - firstWhole;
    if (wholeLines > 0) { // only a dump has more than one line
        const auto count = static_cast<std::size_t>(wholeLines);
        std::string block(count * (DumpLineMax + 1), '\0');
        const std::size_t used = FormatDumpText(
            *Image, Stretch, static_cast<std::size_t>(firstWhole), count, block.data());
        text += QString::fromLatin1(block.data(), static_cast<qsizetype>(used));
    }
    return text + lineText(to.Line).left(to.Column);
}

void DumpView::copy() const {
    const QString text = selectedText();
    if (!text.isEmpty()) {
        QApplication::clipboard()->setText(text);
    }
}

void DumpView::scrollToLine(int line) {
    QScrollBar* v = verticalScrollBar();
    if (line < v->value()) {
        v->setValue(line);
    } else if (line >= v->value() + visibleLines()) {
        v->setValue(line - visibleLines() + 1);
    }
}

void DumpView::ensureVisible(TextPosition p) {
    scrollToLine(std::min(p.Line, lineCount() - 1));
    const int x = static_cast<int>(std::floor(columnX(p)));
    QScrollBar* h = horizontalScrollBar();
    if (x < 0) {
        h->setValue(h->value() + x - TextMargin);
    } else if (x >= viewport()->width()) {
        h->setValue(h->value() + x - viewport()->width() + 2 * TextMargin);
    }
}

void DumpView::moveCursorTo(TextPosition p, bool extend) {
    if (lineCount() == 0) {
        return;
    }
    Cursor = Clamped(p);
    if (!extend) {
        Anchor = Cursor;
    }
    ensureVisible(Cursor);
    viewport()->update();
}

void DumpView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const TextPosition at = Cursor;
    const auto vertical = [&](int lines) {
        if (PreferredColumn < 0) {
            PreferredColumn = at.Column;
        }
        const int line = std::clamp(at.Line + lines, 0, std::max(0, lineCount() - 1));
        const int keep = PreferredColumn;
        moveCursorTo({line, PreferredColumn}, extend);
        PreferredColumn = keep;
    };
    switch (event->key()) {
    case Qt::Key_Up:
        vertical(-1);
        return;
    case Qt::Key_Down:
        vertical(1);
        return;
    case Qt::Key_PageUp:
        vertical(-visibleLines());
        return;
    case Qt::Key_PageDown:
        vertical(visibleLines());
        return;
    default:
        break;
    }
    PreferredColumn = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        if (at.Column > 0) {
            moveCursorTo({at.Line, at.Column - 1}, extend);
        } else if (at.Line > 0) {
            moveCursorTo({at.Line - 1, lineLength(at.Line - 1)}, extend);
        }
        break;
    case Qt::Key_Right:
        if (at.Line < lineCount() && at.Column < lineLength(at.Line)) {
            moveCursorTo({at.Line, at.Column + 1}, extend);
        } else {
            moveCursorTo({at.Line + 1, 0}, extend);
        }
        break;
    case Qt::Key_Home:
        moveCursorTo(control ? TextPosition{} : TextPosition{at.Line, 0}, extend);
        break;
    case Qt::Key_End:
        moveCursorTo(control ? End() : TextPosition{at.Line, lineLength(at.Line)}, extend);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void DumpView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || lineCount() == 0) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    PreferredColumn = -1;
    const TextPosition at = positionAt(event->position().toPoint());
    select(event->modifiers() & Qt::ShiftModifier ? Anchor : at, at);
    Dragging = true;
}

// Extends the selection to a point of the viewport; outside it, the view scrolls that way on
// a timer for as long as the button is held there.
void DumpView::dragTo(QPoint point) {
    DragPoint = point;
    const bool outside = point.y() < 0 || point.y() >= viewport()->height() || point.x() < 0 ||
                         point.x() >= viewport()->width();
    if (outside && !DragScroll.isActive()) {
        DragScroll.start(DragScrollMs, this);
    } else if (!outside) {
        DragScroll.stop();
    }
    Cursor = Clamped(positionAt(point));
    viewport()->update();
}

void DumpView::mouseMoveEvent(QMouseEvent* event) {
    if (Dragging && (event->buttons() & Qt::LeftButton)) {
        dragTo(event->position().toPoint());
    }
}

void DumpView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    Dragging = false;
    DragScroll.stop();
    event->accept();
}

void DumpView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != DragScroll.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    if (DragPoint.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (DragPoint.y() >= viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    if (DragPoint.x() < 0) {
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (DragPoint.x() >= viewport()->width()) {
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    dragTo(DragPoint);
}

// A word is a run of characters between blanks and bars: one hex pair, one offset.
void DumpView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || lineCount() == 0) {
        return;
    }
    const TextPosition at = positionAt(event->position().toPoint());
    if (at.Line >= lineCount()) {
        return;
    }
    const QString text = lineText(at.Line);
    int start = std::min(at.Column, static_cast<int>(text.size()));
    if (start == text.size() || IsWordBreak(text[start])) {
        if (start > 0 && !IsWordBreak(text[start - 1])) {
            --start; // just after a word: that word
        } else {
            select({at.Line, start}, {at.Line, std::min(start + 1, static_cast<int>(text.size()))});
            return;
        }
    }
    int stop = start;
    while (start > 0 && !IsWordBreak(text[start - 1])) {
        --start;
    }
    while (stop < text.size() && !IsWordBreak(text[stop])) {
        ++stop;
    }
    select({at.Line, start}, {at.Line, stop});
}

void DumpView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &DumpView::copy);
    copyAction->setEnabled(hasSelection());
    menu.addSeparator();
    QAction* all = menu.addAction(tr("Select &All"), this, &DumpView::selectAll);
    all->setEnabled(lineCount() > 0);
    menu.exec(event->globalPos());
}
