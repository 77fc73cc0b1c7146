// URDF loader. Two readers see the text: tinyxml2 first, for the structure
// (which element sits on which line, which links the joints join, whether
// the joints form a tree) and for the numbers the arm is built from; then
// urdfdom, whose model gives the values. The first pass refuses everything
// that would make urdfdom build a cyclic model or that the arm cannot use,
// so urdfdom only ever sees a tree. The steps are in urdf_structure.cpp,
// urdf_messages.cpp and urdf_chain.cpp (see io/urdf_detail.hpp).

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "io/io_detail.hpp"
#include "io/urdf_detail.hpp"

namespace armkin {

namespace {

using io::failure;

LoadResult failure(const LoadError& error) { return failure(error.file, error.line, error.reason); }

LoadResult loadParsed(std::string_view xml, const std::string& source, const UrdfOptions& options) {
    LoadError error;
    if (!io::checkText(xml, source, "XML", error)) return failure(error);
    if (!io::isRigid(io::frameOf(options.toolOffset)))
        return failure(source, 0, "the tool offset is not a rigid transform (finite, orthonormal, right-handed axes)");
    urdf_io::XmlTree tree;
    if (!urdf_io::readStructure(xml, source, tree, error)) return failure(error);

    // The tree is sound; whatever else urdfdom refuses is about the file as
    // a whole, so it comes before the choice of the chain.
    std::vector<std::string> messages;
    const urdf::ModelInterfaceSharedPtr model = urdf_io::parseModel(xml, messages);
    if (!model) {
        urdf_io::urdfdomRefusal(messages, tree, source, error);
        return failure(error);
    }

    urdf_io::XmlChain chain;
    LoadedArm arm;
    if (!urdf_io::findChain(tree, options, source, chain, error) ||
        !urdf_io::checkChainJoints(tree, chain, *model, source, error) ||
        !urdf_io::describeChain(tree, chain, *model, io::frameOf(options.toolOffset), source, arm, error))
        return failure(error);
    return io::finish(std::move(arm), source);
}

}  // namespace

LoadResult loadUrdfText(std::string_view xml, const std::string& sourceName, const UrdfOptions& options) {
    try {
        return loadParsed(xml, sourceName, options);
    } catch (const std::bad_alloc&) {
        return failure(sourceName, 0, "out of memory");
    } catch (const std::exception& e) {
        return failure(sourceName, 0, std::string("the URDF reader failed: ") + e.what());
    } catch (...) {
        return failure(sourceName, 0, "the URDF reader failed");
    }
}

LoadResult loadUrdf(const std::string& path, const UrdfOptions& options) {
    try {
        std::string text;
        LoadError error;
        if (!io::readArmFile(path, text, error)) return failure(error);
        return loadUrdfText(text, path, options);
    } catch (const std::bad_alloc&) {
        return failure(path, 0, "out of memory");
    } catch (...) {
        return failure(path, 0, "the file could not be read");
    }
}

}  // namespace armkin
