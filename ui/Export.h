// File, Export...: the front window's database written into a folder as vexlin-dump --export
// writes it (the same files and names, by the same code), never anything else.
#pragma once

#include <QString>
#include <QStringList>

class TfGrid;

struct ExportRun {
    QStringList Files;    // written whole, their paths
    QString Problem;      // why it stopped, or empty
    bool Exists = false;  // it stopped at a file that exists (asked to be replaced, not forced)
    bool Nothing = false; // the format has no export, or the database no item to write
};

// Exports the window's database into folder, with the encoding its Content tab reads with;
// force replaces the regular files that exist.
[[nodiscard]] ExportRun ExportWindow(const TfGrid& grid, const QString& folder, bool force);

// What a run did, for a message box.
[[nodiscard]] QString ExportReport(const ExportRun& run, const QString& folder);
