#include "ui/pageloader.h"

#include <QDir>
#include <QLibrary>
#include <QWidget>
#include <optional>

namespace kes::ui {

QString PagePluginPath(const QString& executableFolder) {
    return QDir(executableFolder).filePath(QString::fromLatin1(kPagePluginFile));
}

namespace {

// The plugin library, loaded once; kept for the rest of the run.
struct LoadedPlugin {
    PagePluginEntry entry = nullptr;
    std::string error;
};

}  // namespace

PageFactory PluginPageFactory(const QString& pluginPath) {
    auto plugin = std::make_shared<std::optional<LoadedPlugin>>();
    return [plugin, pluginPath](QWidget* parent, std::string& error) -> std::unique_ptr<PageView> {
        if (!plugin->has_value()) {
            LoadedPlugin loaded;
            // Never unloaded: the library object may go, the mapping stays.
            QLibrary library(pluginPath);
            library.setLoadHints(QLibrary::PreventUnloadHint);
            if (!library.load()) {
                loaded.error = "Cannot load the page view (" + pluginPath.toStdString() +
                               "): " + library.errorString().toStdString();
            } else if (!(loaded.entry = reinterpret_cast<PagePluginEntry>(
                             library.resolve(kPagePluginEntry)))) {
                loaded.error = "Cannot load the page view (" + pluginPath.toStdString() +
                               "): the library has no " + kPagePluginEntry;
            }
            *plugin = std::move(loaded);
        }
        const LoadedPlugin& p = **plugin;
        if (!p.entry) {
            error = p.error;
            return nullptr;
        }
        std::string reason;
        std::unique_ptr<PageView> view(p.entry(parent, &reason));
        if (!view) error = "Cannot create the page view: " + reason;
        return view;
    };
}

}  // namespace kes::ui
