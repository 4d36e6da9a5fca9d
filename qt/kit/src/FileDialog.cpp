#include "FileDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace kit {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

#if !defined(_WIN32)
// Qt takes a filter's patterns from its last parenthesised group and, with the details hidden,
// shows the text before it: so "All Files (*.*)" goes in as "All Files (*.*) (*)", which shows
// as written and lists every file. Qt's own dialog matches patterns in any case.
QString withEveryFileListed(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(u'(');
    QString patterns = filter;
    if (open >= 0 && filter.endsWith(u')')) {
        patterns = filter.mid(open + 1, filter.size() - open - 2);
    }
    QStringList list = patterns.split(u' ', Qt::SkipEmptyParts);
    for (QString& pattern : list) {
        if (pattern == u"*.*") {
            pattern = QStringLiteral("*");
        }
    }
    return filter + QStringLiteral(" (") + list.join(u' ') + u')';
}
#endif

}  // namespace

FileDialog::FileDialog(QWidget* parent, const form::FileDialogRequest& request, bool save)
    : QFileDialog(parent, qs(request.title)), defaultExtension_(qs(request.defaultExt)) {
#if !defined(_WIN32)
    // Set before any other property, as Qt asks.
    setOption(QFileDialog::DontUseNativeDialog);
#endif
    setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& filter : request.filters) {
        filters << qs(filter);
    }
#if defined(_WIN32)
    // The system's dialog already treats names without regard to case and "*.*" as every file.
    setDefaultSuffix(defaultExtension_);
#else
    setOption(QFileDialog::HideNameFilterDetails);
    for (QString& filter : filters) {
        filter = withEveryFileListed(filter);
    }
#endif
    if (!filters.isEmpty()) {
        setNameFilters(filters);
        if (request.filterIndex >= 0 && request.filterIndex < filters.size()) {
            selectNameFilter(filters[request.filterIndex]);
        }
    }
    if (!request.fileName.empty()) {
        selectFile(qs(request.fileName));
    }
}

QString FileDialog::withDefaultExtension(const QString& path, const QString& extension, bool save) {
    const QFileInfo typed(path);
    if (extension.isEmpty() || typed.fileName().contains(u'.') || typed.isDir()) {
        return path;
    }
    const QString wanted = typed.fileName() + u'.' + extension;
    const QDir folder = typed.absoluteDir();
    if (QFileInfo(folder, wanted).isFile()) {
        return folder.filePath(wanted);
    }
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return folder.filePath(name);
        }
    }
    return save ? folder.filePath(wanted) : path;
}

void FileDialog::accept() {
#if !defined(_WIN32)
    const QStringList chosen = selectedFiles();
    if (chosen.size() == 1) {
        const QString resolved = withDefaultExtension(chosen.first(), defaultExtension_,
                                                      acceptMode() == QFileDialog::AcceptSave);
        if (resolved != chosen.first()) {
            // Qt leaves the name box alone while it has the focus.
            if (QWidget* focused = focusWidget()) {
                focused->clearFocus();
            }
            selectFile(resolved);
        }
    }
#endif
    QFileDialog::accept();
}

}  // namespace kit
