#include "app/FormControls.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/StandInControls.h"

namespace formcontrols {

namespace {
// 185 pixels at 120 dpi in the form; wider here so the check boxes' captions fit
// the fonts of this platform.
constexpr int kLeftColumn = 300;
}  // namespace

int LeftColumnWidth() { return kLeftColumn; }

QString Hint(const char* text) { return QString::fromUtf8(text); }

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint, bool enabled) {
  auto* b = Named(new QPushButton(QString::fromUtf8(caption), parent), name);
  if (hint) b->setToolTip(Hint(hint));
  b->setEnabled(enabled);
  return b;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption) {
  return Named(new QLabel(QString::fromUtf8(caption), parent), name);
}

QLineEdit* DigitsEdit(QWidget* parent, const char* name, const char* text, int maxLength, bool digitsOnly) {
  auto* e = Named(new QLineEdit(QString::fromUtf8(text), parent), name);
  e->setMaxLength(maxLength);
  if (digitsOnly) e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
  e->setFixedWidth(48);
  return e;
}

QWidget* WhitePanel(QWidget* parent, const char* name) {
  auto* p = Named(new QWidget(parent), name);
  p->setAutoFillBackground(true);
  QPalette pal = p->palette();
  pal.setColor(QPalette::Window, Qt::white);
  p->setPalette(pal);
  return p;
}

QVBoxLayout* ColumnPage(QWidget* page, QWidget* panel) {
  auto* row = new QHBoxLayout(page);
  row->setContentsMargins(2, 2, 2, 2);
  auto* left = new QWidget(page);
  left->setFixedWidth(kLeftColumn);
  auto* column = new QVBoxLayout(left);
  column->setContentsMargins(0, 0, 0, 0);
  row->addWidget(left);
  row->addWidget(panel, 1);
  return column;
}

QVBoxLayout* Group(QVBoxLayout* column, QWidget* parent) {
  auto* box = new QGroupBox(parent);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(6, 6, 6, 6);
  column->addWidget(box);
  return layout;
}

QHBoxLayout* Row(QVBoxLayout* group) {
  auto* row = new QHBoxLayout();
  row->setContentsMargins(0, 0, 0, 0);
  group->addLayout(row);
  return row;
}

void FillPanel(QWidget* panel, TImage* image, QProgressBar* progress) {
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(image, 1);
  if (progress) {
    progress->setFixedHeight(21);
    progress->hide();
    layout->addWidget(progress);
  }
}

}  // namespace formcontrols
