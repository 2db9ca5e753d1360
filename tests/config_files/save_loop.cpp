// A second program for the two-writer test: saves program INDEX (0..2) into FILE COUNT times,
// its pass limit counting up from 101, and fails at the first save that fails.
#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>

#include "config_files/program_files.h"
#include "programs/programs_model.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 4) return 2;
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  QString error;
  for (int i = 1; error.isEmpty() && i <= args[3].toInt(); ++i) {
    model.SetBoxText(args[2].toInt(), ProgramBox::PassOhms, QString::number(100 + i));
    error = program_files::SaveProgramToFile(model, args[2].toInt(), args[1], false).error;
  }
  QTextStream(stderr) << error;
  return error.isEmpty() ? 0 : 1;
}
