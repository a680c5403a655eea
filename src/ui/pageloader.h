// Where the page plugin is and how a page view is made from it.
//
// The plugin ("libkestrune-page.so") lies beside the viewer executable: in the build tree both
// are in bin/, an installed viewer and its plugin both in lib/kestrune/. The plugin is loaded
// once, on the first page view asked for, and stays loaded for the rest of the run (the browser
// engine cannot be started twice in one process); releasing a page view ends its engine
// processes but keeps the library mapped.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "ui/pageview.h"

class QWidget;

namespace kes::ui {

inline const char* const kPagePluginFile = "libkestrune-page.so";
// The one function the plugin exports: a new page view as a child of `parent`, or null with a
// reason in `error`. Never throws.
inline const char* const kPagePluginEntry = "kestrune_create_page_view";
using PagePluginEntry = PageView* (*)(QWidget* parent, std::string* error);

// Makes a page view as a child of `parent`; null with the reason in `error` when it cannot.
using PageFactory = std::function<std::unique_ptr<PageView>(QWidget* parent, std::string& error)>;

// The plugin's path for a viewer executable in `executableFolder`.
QString PagePluginPath(const QString& executableFolder);

// A factory that loads the plugin at `pluginPath` on its first call. A plugin that is missing,
// cannot be loaded or lacks its entry gives null views with a message naming the file and the
// reason (the same on every later call; the load is not retried).
PageFactory PluginPageFactory(const QString& pluginPath);

}  // namespace kes::ui
