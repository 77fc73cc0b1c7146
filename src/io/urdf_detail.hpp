#pragma once
//! The parts of the URDF loader (urdf_loader.cpp runs them in this order):
//! the structure pass over the XML (urdf_structure.cpp), urdfdom's parse
//! with its messages kept for the error (urdf_messages.cpp), and the chain
//! from base to tip turned into the arm (urdf_chain.cpp).
//!
//! Each step that can fail returns false and fills a LoadError naming the
//! source, the line (0 when no single line is to blame) and the reason.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <urdf_model/model.h>
#include <urdf_world/types.h>

#include <armkin/loaders.hpp>

#include "io/io_detail.hpp"

namespace armkin::urdf_io {

using kin::Frame;

// --- The structure pass (urdf_structure.cpp) ----------------------------------

struct XmlLink {
    std::string name;
    int line = 0;
    int parentJoint = -1;
    std::vector<int> childJoints;
};

struct XmlJoint {
    std::string name;
    std::string type;
    int line = 0;
    int parent = -1;  //!< link index
    int child = -1;
};

//! The links and joints of the file as tinyxml2 reads them, with their
//! lines. After a successful readStructure every link but the root has
//! exactly one parent joint and all hang below the root.
struct XmlTree {
    std::vector<XmlLink> links;
    std::vector<XmlJoint> joints;
    std::unordered_map<std::string, int> linkIndex;
    std::unordered_map<std::string, int> jointIndex;
    int root = -1;
};

//! Line of the joint or link of that name; 0 when there is none.
int jointLine(const XmlTree& tree, const std::string& name);
int linkLine(const XmlTree& tree, const std::string& name);

//! Parses the XML and reads its links and joints: every name given once,
//! every joint of a known type joining two known links, the numbers the arm
//! is built from well formed, and the joints forming one tree. Refuses
//! everything that would make urdfdom build a cyclic model.
bool readStructure(std::string_view xml, const std::string& source, XmlTree& tree, LoadError& error);

//! The joints from base link to tip link.
struct XmlChain {
    int base = -1;
    int tip = -1;
    std::vector<int> joints;  //!< joint indices, base first
};

//! The chain between the links the options name: the root when no base is
//! named, the only leaf below the base when no tip is.
bool findChain(const XmlTree& tree, const UrdfOptions& options, const std::string& source,
               XmlChain& chain, LoadError& error);

// --- urdfdom (urdf_messages.cpp) --------------------------------------------

//! urdfdom's model of the file; null when it refuses it. The messages the
//! parse logs on this thread (errors, at most four) go to `messages` instead
//! of the console.
urdf::ModelInterfaceSharedPtr parseModel(std::string_view xml, std::vector<std::string>& messages);

//! The error for a file urdfdom refused: its first two messages, and the
//! line of the first joint or link they name.
void urdfdomRefusal(const std::vector<std::string>& messages, const XmlTree& tree,
                    const std::string& source, LoadError& error);

// --- The arm (urdf_chain.cpp) -------------------------------------------------

//! Checks that the chain holds six independent arm joints (revolute,
//! continuous or prismatic, none coupled), fixed joints aside.
bool checkChainJoints(const XmlTree& tree, const XmlChain& chain, const urdf::ModelInterface& model,
                      const std::string& source, LoadError& error);

//! The arm of the chain, with urdfdom's values: the description in the base
//! link's coordinates, limits and joint names, the tool at toolOffset from
//! the tip link. Not yet validated (io::finish does that).
bool describeChain(const XmlTree& tree, const XmlChain& chain, const urdf::ModelInterface& model,
                   const Frame& toolOffset, const std::string& source, LoadedArm& arm,
                   LoadError& error);

}  // namespace armkin::urdf_io
