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
  const int index = args[2].toInt();
  TestProgramsModel model(QLocale::c());
  model.StartUp();
  for (int i = 1; i <= args[3].toInt(); ++i) {
    model.SetBoxText(index, ProgramBox::PassOhms, QString::number(100 + i));
    const program_files::Outcome saved =
        program_files::SaveProgramToFile(model, index, args[1], false);
    if (!saved.ok) {
      QTextStream(stderr) << saved.error << '\n';
      return 1;
    }
  }
  return 0;
}
