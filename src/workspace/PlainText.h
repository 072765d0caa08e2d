#pragma once

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

// Names from files, imported calendars and the user are shown as they are: a title such as
// "<b>Q3" must neither turn into markup nor vanish as an unknown tag. Nothing in the program
// shows markup, so labels and message boxes are plain text.
namespace PlainText {

// The box's text and informative text as plain text; call after setting the informative
// text (its label is made then).
inline void apply(QMessageBox* box)
{
    box->setTextFormat(Qt::PlainText);
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

// A tooltip Qt shows as the text it is: it reads anything that looks like markup as markup.
inline QString toolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

} // namespace PlainText
