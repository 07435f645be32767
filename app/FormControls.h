#pragma once

// Building blocks of the windows' pages: named controls (the object name is the
// form's name, so tests find them) and the page layout of a left column of
// bordered groups beside a white panel.

#include <QString>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class QWidget;
class TImage;

namespace formcontrols {

template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// A tool tip as the form writes it.
QString Hint(const char* text);

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr,
                    bool enabled = true);
QLabel* Label(QWidget* parent, const char* name, const char* caption);
QLineEdit* DigitsEdit(QWidget* parent, const char* name, const char* text, int maxLength, bool digitsOnly);
QWidget* WhitePanel(QWidget* parent, const char* name);

// A page with the left column of bordered groups and, to its right, `panel`;
// answers the column's layout.
QVBoxLayout* ColumnPage(QWidget* page, QWidget* panel);
QVBoxLayout* Group(QVBoxLayout* column, QWidget* parent);
QHBoxLayout* Row(QVBoxLayout* group);

// The image fills its panel; a progress bar, when given, runs along its bottom.
void FillPanel(QWidget* panel, TImage* image, QProgressBar* progress = nullptr);

// The width of the left column.
int LeftColumnWidth();

}  // namespace formcontrols
