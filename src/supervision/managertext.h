#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>
#include <utility>

// One whole manager message: its lines up to the empty line that ends it (or
// up to the end of the text). A view into the hand-over it came in.
class ManagerMessage
{
public:
    explicit ManagerMessage(QByteArrayView text) : m_text(text) {}

    QByteArrayView text() const { return m_text; }
    // The value of the message's first header of that name (any case),
    // trimmed of blanks; empty when absent.
    QByteArrayView header(QByteArrayView name) const;

private:
    QByteArrayView m_text;
};

// One hand-over of received manager text, as the reader releases it: whole
// messages, without NUL bytes. It is cut into its messages once, on the first
// look at them, whoever looks first; the interpretations read the text itself.
class ManagerText
{
public:
    explicit ManagerText(QByteArray text) : m_text(std::move(text)) {}

    const QByteArray& text() const { return m_text; }
    const QList<ManagerMessage>& messages() const;

private:
    QByteArray m_text;
    mutable std::optional<QList<ManagerMessage>> m_messages;
};
