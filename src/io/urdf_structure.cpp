// The URDF structure pass: tinyxml2 reads the text for which element sits
// on which line, which links the joints join, whether the joints form a
// tree, and whether the numbers the arm is built from are numbers. What it
// refuses never reaches urdfdom, so urdfdom only ever sees a tree.

#include <tinyxml2.h>

#include <cctype>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "io/io_detail.hpp"
#include "io/urdf_detail.hpp"

namespace armkin::urdf_io {

namespace {

using io::quoted;

//! "mismatched element" for XML_ERROR_MISMATCHED_ELEMENT.
std::string xmlErrorText(tinyxml2::XMLError id) {
    std::string s = tinyxml2::XMLDocument::ErrorIDToName(id);
    for (const char* prefix : {"XML_ERROR_", "XML_"}) {
        const std::string p = prefix;
        if (s.compare(0, p.size(), p) == 0) {
            s.erase(0, p.size());
            break;
        }
    }
    for (char& c : s) c = c == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

//! "'a', 'b', 'c'": the names of up to ten links, then how many more.
std::string linkNames(const XmlTree& tree, const std::vector<int>& links) {
    std::string list;
    for (std::size_t k = 0; k < links.size() && k < 10; ++k) {
        if (k) list += ", ";
        list += quoted(tree.links[links[k]].name);
    }
    if (links.size() > 10) list += " and " + std::to_string(links.size() - 10) + " more";
    return list;
}

const char* attribute(const tinyxml2::XMLElement* e, const char* name) {
    return e ? e->Attribute(name) : nullptr;
}

//! Checks an attribute holding `count` numbers (absent is fine: the URDF
//! default applies).
bool checkNumbers(const tinyxml2::XMLElement* e, const char* name, int count,
                  const std::string& owner, const std::string& source, LoadError& error) {
    const char* text = attribute(e, name);
    if (!text) return true;
    const std::string_view all(text);
    const std::string where = owner + ": <" + e->Name() + " " + name + ">";
    int found = 0;
    std::size_t i = 0;
    while (i < all.size()) {
        while (i < all.size() && std::isspace(static_cast<unsigned char>(all[i]))) ++i;
        if (i == all.size()) break;
        std::size_t j = i;
        while (j < all.size() && !std::isspace(static_cast<unsigned char>(all[j]))) ++j;
        const std::string_view word = all.substr(i, j - i);
        double v = 0.0;
        if (const io::NumberText kind = io::parseNumber(word, v); kind != io::NumberText::finite) {
            error = {source, e->GetLineNum(), where + ": " + io::numberProblem(kind, word)};
            return false;
        }
        ++found;
        i = j;
    }
    if (found != count) {
        error = {source, e->GetLineNum(),
                 where + " needs " + std::to_string(count) + (count == 1 ? " number" : " numbers") +
                     ", found " + std::to_string(found)};
        return false;
    }
    return true;
}

//! The numbers the arm is built from, checked here for their line.
bool checkJointNumbers(const tinyxml2::XMLElement* e, const std::string& owner, const std::string& source,
                       LoadError& error) {
    const tinyxml2::XMLElement* origin = e->FirstChildElement("origin");
    const tinyxml2::XMLElement* axis = e->FirstChildElement("axis");
    const tinyxml2::XMLElement* limit = e->FirstChildElement("limit");
    if (!checkNumbers(origin, "xyz", 3, owner, source, error) ||
        !checkNumbers(origin, "rpy", 3, owner, source, error) ||
        !checkNumbers(axis, "xyz", 3, owner, source, error))
        return false;
    for (const char* bound : {"lower", "upper", "effort", "velocity"}) {
        if (!checkNumbers(limit, bound, 1, owner, source, error)) return false;
    }
    return true;
}

bool knownJointType(const std::string& t) {
    for (const char* k : {"revolute", "continuous", "prismatic", "fixed", "floating", "planar"})
        if (t == k) return true;
    return false;
}

//! The parent and child links of joint j, which must be known links.
bool readJointLinks(const tinyxml2::XMLElement* e, const XmlTree& tree, const std::string& owner,
                    const std::string& source, XmlJoint& j, LoadError& error) {
    for (const char* role : {"parent", "child"}) {
        const char* link = attribute(e->FirstChildElement(role), "link");
        if (!link || !*link) {
            error = {source, j.line, owner + " has no " + role + " link"};
            return false;
        }
        const auto it = tree.linkIndex.find(link);
        if (it == tree.linkIndex.end()) {
            error = {source, j.line, owner + ": unknown " + role + " link " + quoted(link)};
            return false;
        }
        (role[0] == 'p' ? j.parent : j.child) = it->second;
    }
    return true;
}

bool readJoint(const tinyxml2::XMLElement* e, XmlTree& tree, const std::string& source, LoadError& error) {
    XmlJoint j;
    j.line = e->GetLineNum();
    const char* name = e->Attribute("name");
    if (!name || !*name) {
        error = {source, j.line, "a <joint> without a name"};
        return false;
    }
    j.name = name;
    const std::string owner = "joint " + quoted(j.name);
    const int index = static_cast<int>(tree.joints.size());
    if (const auto [it, fresh] = tree.jointIndex.emplace(j.name, index); !fresh) {
        error = {source, j.line,
                 owner + " is defined twice (first on line " + std::to_string(tree.joints[it->second].line) + ")"};
        return false;
    }
    const char* type = e->Attribute("type");
    if (!type) {
        error = {source, j.line, owner + " has no type"};
        return false;
    }
    j.type = type;
    if (!knownJointType(j.type)) {
        error = {source, j.line, owner + ": unsupported joint type " + quoted(j.type)};
        return false;
    }
    if (!readJointLinks(e, tree, owner, source, j, error)) return false;
    if (j.parent == j.child) {
        error = {source, j.line, owner + " joins link " + quoted(tree.links[j.parent].name) + " to itself"};
        return false;
    }
    XmlLink& child = tree.links[j.child];
    if (child.parentJoint >= 0) {
        error = {source, j.line,
                 "link " + quoted(child.name) + " is the child of two joints, " +
                     quoted(tree.joints[child.parentJoint].name) + " and " + quoted(j.name)};
        return false;
    }
    if (!checkJointNumbers(e, owner, source, error)) return false;

    child.parentJoint = index;
    tree.links[j.parent].childJoints.push_back(index);
    tree.joints.push_back(std::move(j));
    return true;
}

bool readLinks(const tinyxml2::XMLElement* robot, XmlTree& tree, const std::string& source, LoadError& error) {
    for (const tinyxml2::XMLElement* e = robot->FirstChildElement("link"); e;
         e = e->NextSiblingElement("link")) {
        const char* name = e->Attribute("name");
        if (!name || !*name) {
            error = {source, e->GetLineNum(), "a <link> without a name"};
            return false;
        }
        const int index = static_cast<int>(tree.links.size());
        if (const auto [it, fresh] = tree.linkIndex.emplace(name, index); !fresh) {
            error = {source, e->GetLineNum(),
                     "link " + quoted(name) + " is defined twice (first on line " +
                         std::to_string(tree.links[it->second].line) + ")"};
            return false;
        }
        tree.links.push_back({name, e->GetLineNum(), -1, {}});
    }
    if (tree.links.empty()) {
        error = {source, robot->GetLineNum(), "the robot has no links"};
        return false;
    }
    return true;
}

bool readJoints(const tinyxml2::XMLElement* robot, XmlTree& tree, const std::string& source, LoadError& error) {
    for (const tinyxml2::XMLElement* e = robot->FirstChildElement("joint"); e;
         e = e->NextSiblingElement("joint")) {
        if (!readJoint(e, tree, source, error)) return false;
    }
    return true;
}

//! Every link has at most one parent joint. Exactly one must have none: the
//! root.
bool findRoot(XmlTree& tree, const std::string& source, LoadError& error) {
    std::vector<int> roots;
    for (int i = 0; i < static_cast<int>(tree.links.size()); ++i)
        if (tree.links[i].parentJoint < 0) roots.push_back(i);
    if (roots.empty()) {
        error = {source, 0, "the joints form a loop: every link has a parent"};
        return false;
    }
    if (roots.size() > 1) {
        error = {source, tree.links[roots[1]].line,
                 "the links do not form one tree: " + std::to_string(roots.size()) +
                     " links have no parent joint (" + linkNames(tree, roots) + ")"};
        return false;
    }
    tree.root = roots[0];
    return true;
}

//! Every link must hang below the root: a link that does not lies on a loop.
bool checkAllBelowRoot(const XmlTree& tree, const std::string& source, LoadError& error) {
    std::vector<char> seen(tree.links.size(), 0);
    std::vector<int> stack{tree.root};
    while (!stack.empty()) {
        const int l = stack.back();
        stack.pop_back();
        seen[l] = 1;
        for (int j : tree.links[l].childJoints) stack.push_back(tree.joints[j].child);
    }
    for (std::size_t i = 0; i < tree.links.size(); ++i) {
        if (!seen[i]) {
            error = {source, tree.links[i].line,
                     "the joints form a loop through link " + quoted(tree.links[i].name)};
            return false;
        }
    }
    return true;
}

bool readTree(const tinyxml2::XMLDocument& doc, const std::string& source, XmlTree& tree, LoadError& error) {
    const tinyxml2::XMLElement* robot = doc.RootElement();
    if (!robot) {
        error = {source, 0, "malformed XML: no root element"};
        return false;
    }
    if (std::string_view(robot->Name()) != "robot") {
        error = {source, robot->GetLineNum(), "the root element is <" + std::string(robot->Name()) +
                                                  ">, not <robot>"};
        return false;
    }
    return readLinks(robot, tree, source, error) && readJoints(robot, tree, source, error) &&
           findRoot(tree, source, error) && checkAllBelowRoot(tree, source, error);
}

//! Leaves below link `from`, in document order of their joints.
std::vector<int> leavesBelow(const XmlTree& tree, int from) {
    std::vector<int> leaves;
    std::vector<int> stack{from};
    while (!stack.empty()) {
        const int l = stack.back();
        stack.pop_back();
        const auto& children = tree.links[l].childJoints;
        if (children.empty()) leaves.push_back(l);
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(tree.joints[*it].child);
    }
    return leaves;
}

//! The link the option names, or `otherwise` when it names none.
bool namedLink(const XmlTree& tree, const std::string& name, const char* role, int otherwise,
               const std::string& source, int& link, LoadError& error) {
    if (name.empty()) {
        link = otherwise;
        return true;
    }
    const auto it = tree.linkIndex.find(name);
    if (it == tree.linkIndex.end()) {
        error = {source, 0, std::string("unknown ") + role + " link " + quoted(name)};
        return false;
    }
    link = it->second;
    return true;
}

//! The one leaf below the base, when no tip is named.
bool onlyLeaf(const XmlTree& tree, int base, const std::string& source, int& tip, LoadError& error) {
    const std::vector<int> leaves = leavesBelow(tree, base);
    if (leaves.size() != 1) {
        error = {source, 0,
                 "ambiguous chain: " + std::to_string(leaves.size()) + " candidate tip links below " +
                     quoted(tree.links[base].name) + " (" + linkNames(tree, leaves) + "); name the tip link"};
        return false;
    }
    tip = leaves[0];
    return true;
}

}  // namespace

int jointLine(const XmlTree& tree, const std::string& name) {
    const auto it = tree.jointIndex.find(name);
    return it == tree.jointIndex.end() ? 0 : tree.joints[it->second].line;
}

int linkLine(const XmlTree& tree, const std::string& name) {
    const auto it = tree.linkIndex.find(name);
    return it == tree.linkIndex.end() ? 0 : tree.links[it->second].line;
}

bool readStructure(std::string_view xml, const std::string& source, XmlTree& tree, LoadError& error) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS) {
        error = {source, doc.ErrorLineNum(), "malformed XML: " + xmlErrorText(doc.ErrorID())};
        return false;
    }
    return readTree(doc, source, tree, error);
}

bool findChain(const XmlTree& tree, const UrdfOptions& options, const std::string& source,
               XmlChain& chain, LoadError& error) {
    if (!namedLink(tree, options.baseLink, "base", tree.root, source, chain.base, error) ||
        !namedLink(tree, options.tipLink, "tip", -1, source, chain.tip, error))
        return false;
    if (chain.tip < 0 && !onlyLeaf(tree, chain.base, source, chain.tip, error)) return false;
    std::vector<int> up;  // tip first
    for (int l = chain.tip; l != chain.base;) {
        const int j = tree.links[l].parentJoint;
        if (j < 0) {
            error = {source, 0, "link " + quoted(tree.links[chain.tip].name) + " is not below link " +
                                    quoted(tree.links[chain.base].name)};
            return false;
        }
        up.push_back(j);
        l = tree.joints[j].parent;
    }
    chain.joints.assign(up.rbegin(), up.rend());
    return true;
}

}  // namespace armkin::urdf_io
