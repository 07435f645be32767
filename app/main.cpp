#include <QApplication>

#include "app/Unit1.h"
#include "app/Unit2.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  InitApplication();
  TForm1 form;
  // The project window: hidden until "Edit Project...", owned by the main window.
  auto* project = new TForm2(form);
  form.SetProjectWindow(project, project);
  form.show();
  return QApplication::exec();
}
