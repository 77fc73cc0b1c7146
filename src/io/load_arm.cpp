// loadArm: the reader chosen by the file name.

#include <cctype>
#include <string>

#include <armkin/loaders.hpp>

namespace armkin {

LoadResult loadArm(const std::string& path, const UrdfOptions& urdfOptions) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        for (std::size_t i = dot + 1; i < path.size(); ++i)
            ext += static_cast<char>(std::tolower(static_cast<unsigned char>(path[i])));
    }
    if (ext == "urdf" || ext == "xml") return loadUrdf(path, urdfOptions);
    return loadArmFile(path);
}

}  // namespace armkin
