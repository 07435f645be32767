#include <QApplication>

#include "app/Unit1.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  InitApplication();
  TForm1 form;
  form.show();
  return QApplication::exec();
}
