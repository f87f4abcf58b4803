#include "app/Resources.h"

#include <wx/icon.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include <cstddef>
#include <vector>

extern const unsigned char embedded_splash[];
extern const std::size_t embedded_splash_size;
extern const unsigned char embedded_icon32[];
extern const std::size_t embedded_icon32_size;
extern const unsigned char embedded_icon16[];
extern const std::size_t embedded_icon16_size;

namespace resources {
namespace {

struct Png {
    const unsigned char* data;
    std::size_t size;
};

struct Resource {
    const char* name;
    std::vector<Png> images;
};

const std::vector<Resource>& Table() {
    static const std::vector<Resource> table = {
        {"SPLASH", {{embedded_splash, embedded_splash_size}}},
        {"aaaa",
         {{embedded_icon32, embedded_icon32_size}, {embedded_icon16, embedded_icon16_size}}},
    };
    return table;
}

const Resource* Find(const wxString& name) {
    for (const Resource& resource : Table()) {
        if (name.CmpNoCase(resource.name) == 0)
            return &resource;
    }
    return nullptr;
}

wxImage Decode(const Png& png) {
    wxMemoryInputStream stream(png.data, png.size);
    return wxImage(stream, wxBITMAP_TYPE_PNG);
}

} // namespace

wxBitmap LoadBitmap(const wxString& name) {
    const Resource* resource = Find(name);
    return resource ? wxBitmap(Decode(resource->images.front())) : wxBitmap();
}

wxIconBundle LoadIcon(const wxString& name) {
    wxIconBundle bundle;
    if (const Resource* resource = Find(name)) {
        for (const Png& png : resource->images) {
            wxIcon icon;
            icon.CopyFromBitmap(wxBitmap(Decode(png)));
            bundle.AddIcon(icon);
        }
    }
    return bundle;
}

} // namespace resources
