#include "gui/textwindows/textpane.h"

#include <algorithm>

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextDocument>

#include "textenc/panecodec.h"

namespace {
std::u16string_view View(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString Canonical(const QString& typed)
{
    return ToQString(CanonicalDisplay(View(typed)));
}

// Key texts with control characters (Enter, Tab, Backspace, shortcuts) are the box's own to handle.
bool IsPrintable(const QString& text)
{
    return std::ranges::none_of(text, [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}
}  // namespace

TextPane::TextPane(QWidget* parent) : QPlainTextEdit(parent)
{
    setWordWrapMode(QTextOption::WrapAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    connect(document(), &QTextDocument::contentsChanged, this, [this] { bytes_.reset(); });
}

std::string TextPane::StoredText() const
{
    if (!bytes_) bytes_ = BytesFromDisplay(View(document()->toRawText()));
    return *bytes_;
}

void TextPane::Store(std::string_view content)
{
    setPlainText(ToQString(DisplayFromBytes(content)));
    bytes_ = std::string(content);
}

void TextPane::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    if (typed.isEmpty() || !IsPrintable(typed)) return QPlainTextEdit::keyPressEvent(event);
    QKeyEvent canonical(event->type(), event->key(), event->modifiers(), Canonical(typed), event->isAutoRepeat(),
                        static_cast<quint16>(event->count()));
    QPlainTextEdit::keyPressEvent(&canonical);
    event->setAccepted(canonical.isAccepted());
}

void TextPane::inputMethodEvent(QInputMethodEvent* event)
{
    if (event->commitString().isEmpty()) return QPlainTextEdit::inputMethodEvent(event);
    QInputMethodEvent canonical(event->preeditString(), event->attributes());
    canonical.setCommitString(Canonical(event->commitString()), event->replacementStart(),
                              event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&canonical);
}

void TextPane::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText()) return;
    QMimeData plain;
    plain.setText(Canonical(source->text()));
    QPlainTextEdit::insertFromMimeData(&plain);
}

// The box's own frame is too thin to show the focus; the frame is drawn inside the text area,
// which is therefore drawn whole on focus changes and scrolling.
void TextPane::paintEvent(QPaintEvent* event)
{
    QPlainTextEdit::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
}

void TextPane::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    viewport()->update();
}

void TextPane::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    viewport()->update();
}

void TextPane::scrollContentsBy(int dx, int dy)
{
    QPlainTextEdit::scrollContentsBy(dx, dy);
    viewport()->update();
}

// The box's own copy reads the selection through QTextDocumentFragment::toPlainText(), which
// turns U+00A0 into a space. The selection's raw text keeps every character; its line breaks
// go out as LF, which a paste reads as a line break again.
QMimeData* TextPane::createMimeDataFromSelection() const
{
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    auto* selection = new QMimeData;
    selection->setText(text);
    return selection;
}
