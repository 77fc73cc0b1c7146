// URDF loader. Two readers see the text: tinyxml2 first, for the structure
// (which element sits on which line, which links the joints join, whether
// the joints form a tree) and for the numbers the arm is built from; then
// urdfdom, whose model gives the values. The first pass refuses everything
// that would make urdfdom build a cyclic model or that the arm cannot use,
// so urdfdom only ever sees a tree.

#include <console_bridge/console.h>
#include <tinyxml2.h>
#include <urdf_parser/urdf_parser.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/io_detail.hpp"

namespace armkin {

namespace {

using io::failure;
using io::quoted;

// --- urdfdom's messages -----------------------------------------------------
// urdfdom reports problems through console_bridge, which prints them to
// stderr by default. While a load runs on a thread, the messages that thread
// causes are kept for the error instead; every other message goes on to the
// handler that was installed before.

thread_local std::vector<std::string>* tMessages = nullptr;

class MessageCatcher final : public console_bridge::OutputHandler {
public:
    void log(const std::string& text, console_bridge::LogLevel level, const char* filename,
             int line) override {
        if (tMessages) {
            if (level >= console_bridge::CONSOLE_BRIDGE_LOG_ERROR && tMessages->size() < 4)
                tMessages->push_back(text);
            return;
        }
        if (OutputHandler* next = previous.load()) next->log(text, level, filename, line);
    }
    std::atomic<console_bridge::OutputHandler*> previous{nullptr};
};

//! Installs the catcher in front of whatever handler is current. Never
//! destroyed: console_bridge may hold the pointer until the process ends.
void installCatcher() {
    static MessageCatcher* const catcher = new MessageCatcher;
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    console_bridge::OutputHandler* current = console_bridge::getOutputHandler();
    if (current != catcher) {
        catcher->previous.store(current);
        console_bridge::useOutputHandler(catcher);
    }
}

//! Keeps the calling thread's urdfdom messages for the lifetime of the object.
class MessageScope {
public:
    explicit MessageScope(std::vector<std::string>& into) : saved_(tMessages) {
        installCatcher();
        tMessages = &into;
    }
    ~MessageScope() { tMessages = saved_; }
    MessageScope(const MessageScope&) = delete;
    MessageScope& operator=(const MessageScope&) = delete;

private:
    std::vector<std::string>* saved_;
};

// --- The structure pass -----------------------------------------------------

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

struct XmlTree {
    std::vector<XmlLink> links;
    std::vector<XmlJoint> joints;
    std::unordered_map<std::string, int> linkIndex;
    int root = -1;
};

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

bool knownJointType(const std::string& t) {
    for (const char* k : {"revolute", "continuous", "prismatic", "fixed", "floating", "planar"})
        if (t == k) return true;
    return false;
}

bool readJoint(const tinyxml2::XMLElement* e, XmlTree& tree, const std::string& source,
               std::unordered_map<std::string, int>& jointLines, LoadError& error) {
    XmlJoint j;
    j.line = e->GetLineNum();
    const char* name = e->Attribute("name");
    if (!name || !*name) {
        error = {source, j.line, "a <joint> without a name"};
        return false;
    }
    j.name = name;
    const std::string owner = "joint " + quoted(j.name);
    if (const auto [it, fresh] = jointLines.emplace(j.name, j.line); !fresh) {
        error = {source, j.line, owner + " is defined twice (first on line " + std::to_string(it->second) + ")"};
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
    // The numbers the arm is built from, checked here for their line.
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

    const int index = static_cast<int>(tree.joints.size());
    child.parentJoint = index;
    tree.links[j.parent].childJoints.push_back(index);
    tree.joints.push_back(std::move(j));
    return true;
}

bool readTree(const tinyxml2::XMLDocument& doc, const std::string& source, XmlTree& tree,
              LoadError& error) {
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
    std::unordered_map<std::string, int> jointLines;
    for (const tinyxml2::XMLElement* e = robot->FirstChildElement("joint"); e;
         e = e->NextSiblingElement("joint")) {
        if (!readJoint(e, tree, source, jointLines, error)) return false;
    }

    // Every link has at most one parent joint now. Exactly one must have none,
    // and every link must hang below it: a link that does not lies on a loop.
    std::vector<int> roots;
    for (int i = 0; i < static_cast<int>(tree.links.size()); ++i)
        if (tree.links[i].parentJoint < 0) roots.push_back(i);
    if (roots.empty()) {
        error = {source, 0, "the joints form a loop: every link has a parent"};
        return false;
    }
    if (roots.size() > 1) {
        std::string list;
        for (std::size_t k = 0; k < roots.size() && k < 10; ++k)
            list += (k ? ", " : "") + quoted(tree.links[roots[k]].name);
        if (roots.size() > 10) list += " and " + std::to_string(roots.size() - 10) + " more";
        error = {source, tree.links[roots[1]].line,
                 "the links do not form one tree: " + std::to_string(roots.size()) +
                     " links have no parent joint (" + list + ")"};
        return false;
    }
    tree.root = roots[0];
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
            error = {source, tree.links[i].line, "the joints form a loop through link " + quoted(tree.links[i].name)};
            return false;
        }
    }
    return true;
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

//! The reason urdfdom gave, and the line of the joint or link it names.
LoadResult urdfdomFailure(const std::vector<std::string>& messages, const XmlTree& tree,
                          const std::unordered_map<std::string, int>& jointLines,
                          const std::string& source) {
    std::string reason = "the URDF reader refused the file";
    int line = 0;
    for (std::size_t k = 0; k < messages.size() && k < 2; ++k) {
        std::string m = messages[k].substr(0, 200);
        for (char& c : m) {
            if (c == '\n' || c == '\r') c = ' ';
        }
        reason += (k ? "; " : ": ") + m;
        // "... for joint [j3]", "... for joint  [j3]", "... for Link [tool]".
        const std::string& text = messages[k];
        for (std::size_t open = text.find('['); !line && open != std::string::npos; open = text.find('[', open + 1)) {
            std::size_t e = open;
            while (e > 0 && text[e - 1] == ' ') --e;
            std::size_t b = e;
            while (b > 0 && std::isalpha(static_cast<unsigned char>(text[b - 1]))) --b;
            std::string word = text.substr(b, e - b);
            for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const std::size_t close = text.find(']', open);
            if (close == std::string::npos || (word != "joint" && word != "link")) continue;
            const std::string name = text.substr(open + 1, close - open - 1);
            if (word == "joint") {
                if (const auto it = jointLines.find(name); it != jointLines.end()) line = it->second;
            } else if (const auto it = tree.linkIndex.find(name); it != tree.linkIndex.end()) {
                line = tree.links[it->second].line;
            }
        }
    }
    return failure(source, line, reason);
}

LoadResult loadParsed(std::string_view xml, const std::string& source, const UrdfOptions& options) {
    LoadError error;
    if (!io::checkText(xml, source, "XML", error)) return failure(error.file, error.line, error.reason);
    if (!io::isRigid(options.toolOffset))
        return failure(source, 0, "the tool offset is not a rigid transform (finite, orthonormal, right-handed axes)");

    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS)
        return failure(source, doc.ErrorLineNum(), "malformed XML: " + xmlErrorText(doc.ErrorID()));
    XmlTree tree;
    if (!readTree(doc, source, tree, error)) return failure(error.file, error.line, error.reason);

    // The tree is sound; whatever else urdfdom refuses is about the file as
    // a whole, so it comes before the choice of the chain.
    std::vector<std::string> messages;
    urdf::ModelInterfaceSharedPtr model;
    {
        MessageScope scope(messages);
        model = urdf::parseURDF(std::string(xml));
    }
    std::unordered_map<std::string, int> jointLines;
    for (const XmlJoint& j : tree.joints) jointLines.emplace(j.name, j.line);
    if (!model) return urdfdomFailure(messages, tree, jointLines, source);

    // Base and tip.
    int base = tree.root;
    if (!options.baseLink.empty()) {
        const auto it = tree.linkIndex.find(options.baseLink);
        if (it == tree.linkIndex.end()) return failure(source, 0, "unknown base link " + quoted(options.baseLink));
        base = it->second;
    }
    int tip = -1;
    if (!options.tipLink.empty()) {
        const auto it = tree.linkIndex.find(options.tipLink);
        if (it == tree.linkIndex.end()) return failure(source, 0, "unknown tip link " + quoted(options.tipLink));
        tip = it->second;
    } else {
        const std::vector<int> leaves = leavesBelow(tree, base);
        if (leaves.size() != 1) {
            std::string list;
            for (std::size_t k = 0; k < leaves.size() && k < 10; ++k)
                list += (k ? ", " : "") + quoted(tree.links[leaves[k]].name);
            if (leaves.size() > 10) list += " and " + std::to_string(leaves.size() - 10) + " more";
            return failure(source, 0, "ambiguous chain: " + std::to_string(leaves.size()) +
                                          " candidate tip links below " + quoted(tree.links[base].name) +
                                          " (" + list + "); name the tip link");
        }
        tip = leaves[0];
    }
    std::vector<int> chain;  // joint indices, tip first
    for (int l = tip; l != base;) {
        const int j = tree.links[l].parentJoint;
        if (j < 0)
            return failure(source, 0, "link " + quoted(tree.links[tip].name) + " is not below link " +
                                          quoted(tree.links[base].name));
        chain.push_back(j);
        l = tree.joints[j].parent;
    }

    // What the chain holds, before asking urdfdom for the values.
    int movable = 0;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const XmlJoint& j = tree.joints[*it];
        if (j.type == "floating" || j.type == "planar")
            return failure(source, j.line, "joint " + quoted(j.name) + ": unsupported joint type " + quoted(j.type) +
                                               " (arm joints are revolute, continuous or prismatic)");
        if (j.type == "fixed") continue;
        ++movable;
        // A coupled joint follows another one and has no value of its own.
        const urdf::JointConstSharedPtr parsed = model->getJoint(j.name);
        if (parsed && parsed->mimic)
            return failure(source, j.line, "joint " + quoted(j.name) + " is coupled: it mimics joint " +
                                               quoted(parsed->mimic->joint_name) +
                                               "; armkin needs six independent joints");
    }
    if (movable != 6)
        return failure(source, 0, std::to_string(movable) + " movable joints between " +
                                      quoted(tree.links[base].name) + " and " + quoted(tree.links[tip].name) +
                                      "; an arm has 6");

    LoadedArm arm;
    arm.name = model->getName();
    arm.description.armBasePos = {0, 0, 0};
    arm.description.armBaseAxes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Frame link = io::kIdentityFrame;  // the current link's frame in the base link's
    int k = 0;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const XmlJoint& xj = tree.joints[*it];
        const std::string owner = "joint " + quoted(xj.name);
        const auto found = model->joints_.find(xj.name);
        if (found == model->joints_.end() || !found->second)
            return failure(source, xj.line, owner + " is missing from the URDF reader's model");
        const urdf::Joint& j = *found->second;
        const urdf::Pose& o = j.parent_to_joint_origin_transform;
        Frame step;
        if (!io::frameFromQuaternion({o.position.x, o.position.y, o.position.z}, o.rotation.x, o.rotation.y,
                                     o.rotation.z, o.rotation.w, step) ||
            !io::finite(step))
            return failure(source, xj.line, owner + ": non-finite origin");
        link = io::compose(link, step);
        if (j.type == urdf::Joint::FIXED) continue;

        const JointType type = j.type == urdf::Joint::PRISMATIC ? JointType::Sliding : JointType::Turning;
        if (type == JointType::Sliding && k >= 3)
            return failure(source, xj.line, owner + " (arm joint " + std::to_string(k) +
                                                ") slides; joints 3 to 5 must turn");
        Vec3 axis;
        if (!io::unitAxis({j.axis.x, j.axis.y, j.axis.z}, axis))
            return failure(source, xj.line, owner + ": zero-length axis");
        axis = io::rotate(link, axis);

        // A continuous joint has no limits, whatever its <limit> says;
        // urdfdom insists on them for revolute and prismatic joints.
        JointRange range = io::kUnbounded;
        if (j.type != urdf::Joint::CONTINUOUS && j.limits) {
            range = {j.limits->lower, j.limits->upper};
            if (!std::isfinite(range.lower) || !std::isfinite(range.upper))
                return failure(source, xj.line, owner + ": non-finite limit");
        }
        if (range.lower > range.upper)
            return failure(source, xj.line, owner + ": lower limit " + io::formatNumber(range.lower) +
                                                " above upper limit " + io::formatNumber(range.upper));

        arm.description.JTYPE[k] = static_cast<char>(type);
        arm.description.armJointPos[k] = link.O;
        arm.description.armJointAxes[k] = io::jointAxes(type, axis, link);
        arm.limits[k] = range;
        arm.jointNames[k] = j.name;
        ++k;
    }
    const Frame tool = io::compose(link, options.toolOffset);
    arm.description.armJointPos[6] = tool.O;
    arm.description.armJointAxes[6] = {tool.X, tool.Y, tool.Z};
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
        if (!io::readArmFile(path, text, error)) return failure(error.file, error.line, error.reason);
        return loadUrdfText(text, path, options);
    } catch (const std::bad_alloc&) {
        return failure(path, 0, "out of memory");
    } catch (...) {
        return failure(path, 0, "the file could not be read");
    }
}

}  // namespace armkin
