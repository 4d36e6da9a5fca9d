// The program's open and save dialog, built from a form::FileDialogRequest. On Linux it is Qt's
// own dialog rather than the desktop's, so that it behaves as on the original platform whatever
// the file system: a filter's extension matches in any case, "*.*" lists every file (also one
// without a dot in its name), and a name typed without an extension finds the file with the
// default extension in any case. The filter texts show as the request writes them.
#pragma once

#include <QFileDialog>
#include <QString>

#include "form/Host.h"

namespace kit {

class FileDialog : public QFileDialog {
  public:
    FileDialog(QWidget* parent, const form::FileDialogRequest& request, bool save);

    // The file a name typed without an extension stands for: an existing file with the default
    // extension in any case (the exact case first), else, for a save, the name with the
    // extension added, else the name as typed. Paths with an extension, folders and an empty
    // extension come back unchanged.
    static QString withDefaultExtension(const QString& path, const QString& extension, bool save);

  protected:
    // Resolves a typed name by withDefaultExtension before the dialog checks it.
    void accept() override;

  private:
    QString defaultExtension_;
};

}  // namespace kit
