// Paints only the visible dump lines; selection, keys, copy and the context menu.
#include "DumpView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <string>

using namespace vexlin;

namespace {
constexpr int TextMargin = 2;
}

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
    Anchor = Cursor = -1;
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
    Anchor = Cursor = -1;
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

int DumpView::lineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int DumpView::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight());
}

int DumpView::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

int DumpView::lineAt(int y) const {
    return std::clamp(firstVisibleLine() + y / lineHeight(), 0, std::max(0, lineCount() - 1));
}

void DumpView::updateScrollBars() {
    const int lines = lineCount();
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, lines - visibleLines()));
    v->setPageStep(visibleLines());
    v->setSingleStep(1);
    // The last line is the longest: its offsets have the most digits.
    const int widest = fontMetrics().horizontalAdvance(lineText(lines - 1)) + 2 * TextMargin;
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, widest - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0'))));
}

void DumpView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = lineHeight();
    const int first = firstVisibleLine();
    const int count = std::clamp(lineCount() - first, 0, visibleLines() + 1);
    const auto [selFirst, selLast] = selection();
    const int x = TextMargin - horizontalScrollBar()->value();
    const int ascent = fontMetrics().ascent();
    for (int i = 0; i < count; ++i) {
        const int line = first + i;
        const int top = i * height;
        const bool selected = line >= selFirst && line <= selLast;
        if (selected) {
            painter.fillRect(0, top, viewport()->width(), height, palette().highlight());
            painter.setPen(palette().color(QPalette::HighlightedText));
        } else {
            painter.setPen(palette().color(QPalette::Text));
        }
        painter.drawText(x, top + ascent, lineText(line));
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

std::pair<int, int> DumpView::selection() const {
    if (Anchor < 0 || Cursor < 0) {
        return {0, -1};
    }
    return {std::min(Anchor, Cursor), std::max(Anchor, Cursor)};
}

void DumpView::selectLines(int anchor, int current) {
    const int last = lineCount() - 1;
    if (last < 0) {
        Anchor = Cursor = -1;
    } else {
        Anchor = std::clamp(anchor, 0, last);
        Cursor = std::clamp(current, 0, last);
    }
    viewport()->update();
}

void DumpView::selectAll() {
    selectLines(0, lineCount() - 1);
}

QString DumpView::selectedText() const {
    const auto [first, last] = selection();
    if (first > last) {
        return {};
    }
    if (ShowsMessage) {
        return Message + QLatin1Char('\n');
    }
    // Formatted straight into one buffer: a 5 MB stretch is 327,680 lines.
    const auto count = static_cast<std::size_t>(last - first + 1);
    std::string text(count * (DumpLineMax + 1), '\0');
    const std::size_t used =
        FormatDumpText(*Image, Stretch, static_cast<std::size_t>(first), count, text.data());
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(used));
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

void DumpView::moveCursorTo(int line, bool extend) {
    if (lineCount() == 0) {
        return;
    }
    line = std::clamp(line, 0, lineCount() - 1);
    selectLines(extend && Anchor >= 0 ? Anchor : line, line);
    scrollToLine(line);
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
    const int current = Cursor >= 0 ? Cursor : firstVisibleLine();
    const int page = visibleLines();
    switch (event->key()) {
    case Qt::Key_Up:
        moveCursorTo(Cursor >= 0 ? current - 1 : current, extend);
        break;
    case Qt::Key_Down:
        moveCursorTo(Cursor >= 0 ? current + 1 : current, extend);
        break;
    case Qt::Key_PageUp:
        moveCursorTo(current - page, extend);
        break;
    case Qt::Key_PageDown:
        moveCursorTo(current + page, extend);
        break;
    case Qt::Key_Home:
        moveCursorTo(0, extend);
        break;
    case Qt::Key_End:
        moveCursorTo(lineCount() - 1, extend);
        break;
    case Qt::Key_Left:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
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
    const int line = lineAt(event->position().toPoint().y());
    selectLines((event->modifiers() & Qt::ShiftModifier) && Anchor >= 0 ? Anchor : line, line);
}

void DumpView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || Anchor < 0) {
        return;
    }
    const int y = event->position().toPoint().y();
    if (y < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (y >= viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    selectLines(Anchor, lineAt(y));
}

void DumpView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &DumpView::copy);
    copyAction->setEnabled(selection().first <= selection().second);
    menu.addSeparator();
    QAction* all = menu.addAction(tr("Select &All"), this, &DumpView::selectAll);
    all->setEnabled(lineCount() > 0);
    menu.exec(event->globalPos());
}
