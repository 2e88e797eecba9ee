// File, Export...: the export of vexlin-dump (ExportDatabase) into the folder the user picked.
#include "Export.h"

#include "ContentModes.h"
#include "Grid.h"

#include <QDir>

using namespace vexlin;

ExportRun ExportWindow(const TfGrid& grid, const QString& folder, bool force) {
    ExportRun run;
    const std::string file = grid.fileName().toStdString();
    dump::ExportTarget target(dump::ExportOptions{folder.toStdString(), force, false},
                              dump::ExportBaseName(file),
                              std::filesystem::path(file).stem().string());
    try {
        run.Nothing = !dump::ExportDatabase(target, grid.image(), ReadStructure(grid.image()),
                                            grid.contentEncoding());
    } catch (const dump::ExportError& e) {
        run.Exists = e.Exists();
        QString problem = QString::fromStdString(e.what());
        if (run.Exists)
            problem =
                problem.left(problem.lastIndexOf(QLatin1String(": "))) + QStringLiteral(" exists.");
        run.Problem = problem;
    }
    for (const std::filesystem::path& path : target.Files())
        run.Files << QString::fromStdString(path.string());
    return run;
}

QString ExportReport(const ExportRun& run, const QString& folder) {
    QString text;
    if (run.Nothing && run.Files.isEmpty() && run.Problem.isEmpty())
        return QStringLiteral("Nothing to export: this database's content has no export, or "
                              "no item to write.");
    const QDir base(folder);
    text = run.Files.size() == 1
               ? QStringLiteral("Wrote 1 file into %1").arg(folder)
               : QStringLiteral("Wrote %1 files into %2").arg(run.Files.size()).arg(folder);
    constexpr int Listed = 12;
    for (qsizetype i = 0; i < run.Files.size() && i < Listed; ++i)
        text += QStringLiteral("\n  ") + base.relativeFilePath(run.Files[i]);
    if (run.Files.size() > Listed)
        text += QStringLiteral("\n  and %1 more").arg(run.Files.size() - Listed);
    if (!run.Problem.isEmpty())
        text += QStringLiteral("\n\nStopped: ") + run.Problem;
    return text;
}
