// The page plugin's entry: the one symbol the viewer looks up (ui/pageloader.h).
#include <exception>
#include <string>

#include "ui/pageloader.h"
#include "webpage/webpageview.h"

extern "C" Q_DECL_EXPORT kes::ui::PageView* kestrune_create_page_view(QWidget* parent,
                                                                      std::string* error) {
    try {
        return new kes::webpage::WebPageView(parent);
    } catch (const std::exception& e) {
        if (error) *error = e.what();
    } catch (...) {
        if (error) *error = "unknown failure";
    }
    return nullptr;
}

// The entry has exactly the type the loader expects.
static_assert(std::is_same_v<decltype(&kestrune_create_page_view), kes::ui::PagePluginEntry>);
