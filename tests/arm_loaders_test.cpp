// The arm-file loaders: one table of bad files with the exact message each
// gives, the file-reading failures, the built-in arm from both formats, angle
// units and open limits, base/tip/tool options, and that a load prints nothing.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>

#include "arm/dh_table.hpp"

namespace {

// A six-joint chain l0 .. l6, one element per line: <robot> on line 1, the
// links on line 2, joint k on line 3 + k, extra elements from line 9.
std::string urdfArm(const std::map<int, std::string>& joints = {}, const std::string& extra = "") {
    std::string s = "<robot name=\"t\">\n";
    for (int k = 0; k <= 6; ++k) s += "<link name=\"l" + std::to_string(k) + "\"/>";
    s += "\n";
    for (int k = 0; k < 6; ++k) {
        const auto it = joints.find(k);
        const std::string n = std::to_string(k);
        s += it != joints.end() ? it->second
                                : "<joint name=\"j" + n + "\" type=\"revolute\"><parent link=\"l" + n +
                                      "\"/><child link=\"l" + std::to_string(k + 1) +
                                      "\"/><origin xyz=\"0 0 0.5\"/><axis xyz=\"0 1 0\"/>"
                                      "<limit lower=\"-1\" upper=\"1\" effort=\"1\" velocity=\"1\"/></joint>";
        s += "\n";
    }
    return s + extra + "</robot>\n";
}

// A joint line of urdfArm with some of its text replaced.
std::string jointLine(int k, const std::string& type, const std::string& inner) {
    const std::string n = std::to_string(k);
    return "<joint name=\"j" + n + "\" type=\"" + type + "\"><parent link=\"l" + n + "\"/><child link=\"l" +
           std::to_string(k + 1) + "\"/>" + inner + "</joint>";
}

// A standard DH table: "dh:" on line 1, joint k on line 4 + k.
std::string yamlArm(const std::map<int, std::string>& rows = {}, const std::string& extra = "") {
    std::string s = "dh:\n  convention: standard\n  joints:\n";
    for (int k = 0; k < 6; ++k) {
        const auto it = rows.find(k);
        s += "    - " + (it != rows.end() ? it->second : std::string("{type: R, a: 0.5, alpha: 1, d: 0, theta: 0}")) +
             "\n";
    }
    return s + extra;
}

std::string frame(const char* origin, const char* z) {
    return std::string("{origin: ") + origin + ", x: [1, 0, 0], y: [0, 1, 0], z: " + z + "}";
}

// A joint urdfdom refuses for a reason the structure pass does not check.
const std::string kBadDamping = "<dynamics damping=\"x\"/><axis xyz=\"0 0 1\"/>";
const std::string kBadDampingMessage =
    ":5: the URDF reader refused the file: damping value (x) is not a valid float; Could not parse "
    "joint_dynamics element for joint [j2]";

struct BadFile {
    const char* what;
    bool urdf;
    std::string text;
    std::string message;
    armkin::UrdfOptions options = {};
};

TEST(ArmLoaders, BadFilesGiveFileLineAndReason) {
    armkin::UrdfOptions base3;
    base3.baseLink = "l3";
    base3.tipLink = "l1";
    armkin::UrdfOptions nowhere;
    nowhere.tipLink = "nowhere";
    armkin::UrdfOptions squashed;
    squashed.toolOffset.rotation[0][0] = 2.0;
    const std::string revolute = "<axis xyz=\"0 0 1\"/><limit lower=\"-1\" upper=\"1\" effort=\"1\" velocity=\"1\"/>";
    const std::string big(armkin::kMaxArmFileBytes + 1, ' ');

    const BadFile cases[] = {
        {"five movable joints", true, urdfArm({{5, jointLine(5, "fixed", "")}}),
         "t.urdf: 5 movable joints between 'l0' and 'l6'; an arm has 6"},
        {"planar joint", true, urdfArm({{2, jointLine(2, "planar", "")}}),
         "t.urdf:5: joint 'j2': unsupported joint type 'planar' (arm joints are revolute, continuous or prismatic)"},
        {"floating joint", true, urdfArm({{0, jointLine(0, "floating", "")}}),
         "t.urdf:3: joint 'j0': unsupported joint type 'floating' (arm joints are revolute, continuous or prismatic)"},
        {"unknown joint type", true, urdfArm({{1, jointLine(1, "ball", "")}}),
         "t.urdf:4: joint 'j1': unsupported joint type 'ball'"},
        {"sliding wrist", true, urdfArm({{4, jointLine(4, "prismatic", revolute)}}),
         "t.urdf:7: joint 'j4' (arm joint 4) slides; joints 3 to 5 must turn"},
        {"zero axis", true, urdfArm({{1, jointLine(1, "continuous", "<axis xyz=\"0 0 0\"/>")}}),
         "t.urdf:4: joint 'j1': zero-length axis"},
        {"NaN origin", true, urdfArm({{2, jointLine(2, "continuous", "<origin xyz=\"0 nan 0\"/>")}}),
         "t.urdf:5: joint 'j2': <origin xyz>: non-finite number 'nan'"},
        {"infinite limit", true,
         urdfArm({{3, jointLine(3, "revolute", "<limit lower=\"-inf\" upper=\"1\" effort=\"1\" velocity=\"1\"/>")}}),
         "t.urdf:6: joint 'j3': <limit lower>: non-finite number '-inf'"},
        {"overflowing number", true, urdfArm({{0, jointLine(0, "continuous", "<origin rpy=\"0 1e999 0\"/>")}}),
         "t.urdf:3: joint 'j0': <origin rpy>: number out of range '1e999'"},
        {"two numbers for three", true, urdfArm({{0, jointLine(0, "continuous", "<axis xyz=\"0 1\"/>")}}),
         "t.urdf:3: joint 'j0': <axis xyz> needs 3 numbers, found 2"},
        {"limits crossed", true,
         urdfArm({{0, jointLine(0, "revolute", "<limit lower=\"1\" upper=\"-1\" effort=\"1\" velocity=\"1\"/>")}}),
         "t.urdf:3: joint 'j0': lower limit 1 above upper limit -1"},
        {"unknown tip link", true, urdfArm(), "t.urdf: unknown tip link 'nowhere'", nowhere},
        {"tip above base", true, urdfArm(), "t.urdf: link 'l1' is not below link 'l3'", base3},
        {"unknown link in a joint", true,
         urdfArm({{2, "<joint name=\"j2\" type=\"fixed\"><parent link=\"l2\"/><child link=\"l9\"/></joint>"}}),
         "t.urdf:5: joint 'j2': unknown child link 'l9'"},
        {"two leaves", true,
         urdfArm({}, "<link name=\"camera\"/><joint name=\"c\" type=\"fixed\"><parent link=\"l3\"/>"
                     "<child link=\"camera\"/></joint>\n"),
         "t.urdf: ambiguous chain: 2 candidate tip links below 'l0' ('l6', 'camera'); name the tip link"},
        {"link with two parents", true,
         urdfArm({}, "<joint name=\"x\" type=\"fixed\"><parent link=\"l5\"/><child link=\"l2\"/></joint>\n"),
         "t.urdf:9: link 'l2' is the child of two joints, 'j1' and 'x'"},
        {"loop", true, urdfArm({{0, "<joint name=\"j0\" type=\"fixed\"><parent link=\"l6\"/><child link=\"l1\"/></joint>"}}),
         "t.urdf:2: the joints form a loop through link 'l1'"},
        {"joint to itself", true,
         urdfArm({{0, "<joint name=\"j0\" type=\"fixed\"><parent link=\"l0\"/><child link=\"l0\"/></joint>"}}),
         "t.urdf:3: joint 'j0' joins link 'l0' to itself"},
        {"malformed XML", true, urdfArm({{3, "<joint name=\"j3\" type=\"revolute\">"}}),
         "t.urdf:6: malformed XML: mismatched element"},
        {"not a robot", true, "<?xml version=\"1.0\"?>\n<arm/>\n", "t.urdf:2: the root element is <arm>, not <robot>"},
        {"NUL byte", true, std::string("<robot name=\"t\">\n\0</robot>", 26), "t.urdf:2: malformed XML: NUL byte"},
        {"not UTF-8", true, "<robot name=\"t\xff\"/>", "t.urdf:1: malformed XML: byte 0xFF is not UTF-8"},
        {"bad damping, as urdfdom says", true, urdfArm({{2, jointLine(2, "continuous", kBadDamping)}}),
         "t.urdf" + kBadDampingMessage},
        {"coupled joint", true, urdfArm({{3, jointLine(3, "revolute", revolute + "<mimic joint=\"j2\"/>")}}),
         "t.urdf:6: joint 'j3' is coupled: it mimics joint 'j2'; armkin needs six independent joints"},
        {"squashed tool offset", true, urdfArm(),
         "t.urdf: the tool offset is not a rigid transform (finite, orthonormal, right-handed axes)", squashed},
        {"URDF too big", true, big, "t.urdf: file too big (4194305 bytes; the limit is 4194304)"},

        {"five DH rows", false, "dh:\n  convention: standard\n  joints: [{type: R, a: 0, alpha: 0, d: 0, theta: 0}]\n",
         "t.yaml:3: dh: joints must be a list of 6 joints, found 1"},
        {"joint type P", false, yamlArm({{2, "{type: P, a: 0, alpha: 0, d: 0, theta: 0}"}}),
         "t.yaml:6: joint 2: unsupported joint type 'P' (R turns, S slides)"},
        {"sliding wrist row", false, yamlArm({{3, "{type: S, a: 0, alpha: 0, d: 0, theta: 0}"}}),
         "t.yaml:7: joint 3 slides; joints 3 to 5 must turn"},
        {"NaN in a row", false, yamlArm({{1, "{type: R, a: .nan, alpha: 0, d: 0, theta: 0}"}}),
         "t.yaml:5: joint 1: a: non-finite number '.nan'"},
        {"infinite d", false, yamlArm({{5, "{type: R, a: 0, alpha: 0, d: -.inf, theta: 0}"}}),
         "t.yaml:9: joint 5: d: non-finite number '-.inf'"},
        {"line break in a quoted number", false, yamlArm({{1, "{type: R, a: \"1\\n2\", alpha: 0, d: 0, theta: 0}"}}),
         "t.yaml:5: joint 1: a: not a number '1 2'"},
        {"misspelt key", false, yamlArm({{0, "{type: R, a: 0, alfa: 0, d: 0, theta: 0}"}}),
         "t.yaml:4: joint 0: unknown key 'alfa'"},
        {"missing theta", false, yamlArm({{4, "{type: R, a: 0, alpha: 0, d: 0}"}}),
         "t.yaml:8: joint 4: missing 'theta'"},
        {"crossed limits", false, yamlArm({{0, "{type: R, a: 0, alpha: 0, d: 0, theta: 0, limits: [2, 1]}"}}),
         "t.yaml:4: joint 0: lower limit 2 above upper limit 1"},
        {"degrees read as radians", false, yamlArm({{1, "{type: R, a: 0, alpha: 90, d: 0, theta: 0}"}}),
         "t.yaml:5: joint 1: alpha is 90 rad, more than one turn either way; angles are radians unless the file "
         "says 'angles: degrees'"},
        {"unknown angle unit", false, yamlArm({}, "angles: grad\n"),
         "t.yaml:10: angles must be 'radians' or 'degrees', not 'grad'"},
        {"zero axis", false,
         "frames:\n  joints:\n" + [] {
             std::string s;
             for (int k = 0; k < 6; ++k) s += "    - {type: R, origin: [0, 0, 0], x: [1, 0, 0], y: [0, 1, 0], z: [0, 0, " +
                                             std::string(k == 1 ? "0" : "1") + "]}\n";
             return s;
         }() + "  tool: " + frame("[0, 0, 1]", "[0, 0, 1]") + "\n",
         "t.yaml:4: joint 1: zero-length axis z"},
        {"left-handed tool", false,
         "frames:\n  joints: [" + [] {
             std::string s;
             for (int k = 0; k < 6; ++k) s += std::string(k ? ", " : "") + "{type: R, " + frame("[0, 0, 0]", "[0, 0, 1]").substr(1);
             return s;
         }() + "]\n  tool: " + frame("[0, 0, 1]", "[0, 0, -1]") + "\n",
         "t.yaml:3: tool: the axes are not right-handed (X x Y must be Z) (tolerance 1e-09)"},
        {"neither form", false, "name: x\n", "t.yaml:1: the file has neither 'dh' nor 'frames'"},
        {"malformed YAML", false, "dh: {convention: standard, joints: [1, 2\n", "t.yaml:2: malformed YAML: end of sequence flow not found"},
        {"two documents", false, "name: a\n---\nname: b\n", "t.yaml: more than one YAML document"},
        {"too many nodes", false, "x: [0" + [] {
             std::string s;
             for (int i = 0; i < 15000; ++i) s += ",0";
             return s;
         }() + "]\n",
         "t.yaml: too many YAML nodes (more than 10000)"},
        {"deep nesting", false, std::string(5000, '[') + std::string(5000, ']'),
         "t.yaml:1: malformed YAML: nested more than 499 levels deep"},
        {"empty", false, "# nothing\n", "t.yaml: empty file"},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.what);
        const armkin::LoadResult r = c.urdf ? armkin::loadUrdfText(c.text, "t.urdf", c.options)
                                            : armkin::loadArmFileText(c.text, "t.yaml");
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.error.message(), c.message);
    }
}

TEST(ArmLoaders, AnglesUnitsAndOpenLimits) {
    // Degrees give the bits of radians; sliding limits stay metres; no limits is unbounded.
    auto table = [](const std::string& unit, const std::string& right) {
        std::map<int, std::string> rows{{5, "{type: R, a: 0.5, alpha: 0, d: 0, theta: 0}"}};
        for (int k = 0; k < 5; ++k)
            rows[k] = "{type: " + std::string(k ? "R" : "S") + ", a: 0.5, alpha: " + right + ", d: 0, theta: -" +
                      right + ", limits: [" + (k ? "-" + right + ", " + right : "0, 0.5") + "]}";
        const std::string base = "  base: {rpy: [0, 0, " + right + "]}\n";
        return armkin::loadArmFileText("angles: " + unit + "\n" + yamlArm(rows, base), "t.yaml");
    };
    const armkin::LoadResult d = table("degrees", "90"), r = table("radians", "1.5707963267948966");
    ASSERT_TRUE(d.ok() && r.ok()) << d.error.message() << r.error.message();
    EXPECT_EQ(std::memcmp(&d.arm.description, &r.arm.description, sizeof d.arm.description), 0);
    EXPECT_EQ(d.arm.limits[0].upper, 0.5);
    EXPECT_EQ(d.arm.limits[1].lower, -M_PI / 2);
    EXPECT_EQ(d.arm.limits[5].upper, HUGE_VAL);

    // A continuous joint is unbounded; a mimic finger off the chain is fine.
    armkin::UrdfOptions toFlange;
    toFlange.tipLink = "l6";
    const std::string finger = "<link name=\"l7\"/>" + jointLine(6, "continuous", "<mimic joint=\"j5\"/>");
    const armkin::LoadResult u =
        armkin::loadUrdfText(urdfArm({{4, jointLine(4, "continuous", "")}}, finger), "t.urdf", toFlange);
    ASSERT_TRUE(u.ok()) << u.error.message();
    EXPECT_TRUE(u.arm.limits[4].lower == -HUGE_VAL && u.arm.limits[4].upper == HUGE_VAL);
}

// One DH convention: a table with sliding joints read from a file and the
// same table built in code give the same arm, in both conventions.
TEST(ArmLoaders, DhTablesFromFilesAndCodeAgree) {
    const char* rows[6] = {"{type: R, a: 0.2, alpha: 0.3, d: 0.3, theta: 0.1}",
                           "{type: S, a: 0.1, alpha: 1.2, d: 0.3, theta: 1.5}",
                           "{type: S, a: -0.2, alpha: -1.5, d: 0.6, theta: 0.4}",
                           "{type: R, a: 0, alpha: -1.57, d: 0.05, theta: -1.5}",
                           "{type: R, a: 0, alpha: 1.57, d: 0, theta: 0}",
                           "{type: R, a: 0, alpha: 0, d: 0.2, theta: 0.7}"};
    const double values[6][4] = {{0.2, 0.3, 0.3, 0.1},  {0.1, 1.2, 0.3, 1.5}, {-0.2, -1.5, 0.6, 0.4},
                                 {0, -1.57, 0.05, -1.5}, {0, 1.57, 0, 0},    {0, 0, 0.2, 0.7}};
    for (const char* convention : {"standard", "modified"}) {
        std::string text = std::string("dh:\n  convention: ") + convention + "\n  joints:\n";
        kin::DhTable table;
        table.convention = convention[0] == 's' ? kin::DhConvention::Standard : kin::DhConvention::Modified;
        for (int k = 0; k < 6; ++k) {
            text += std::string("    - ") + rows[k] + "\n";
            table.rows[k] = {values[k][0], values[k][1], values[k][2], values[k][3], k == 1 || k == 2 ? 'S' : 'R'};
        }
        const armkin::LoadResult file = armkin::loadArmFileText(text, "t.yaml");
        ASSERT_TRUE(file.ok()) << file.error.message();
        armkin::ArmDescription code;
        ASSERT_EQ(kin::describeDhArm(table, code), 1);
        armkin::Engine a, b;
        ASSERT_TRUE(a.setUp(file.arm.description));
        ASSERT_TRUE(b.setUp(code));
        for (const armkin::Joints& q : {armkin::Joints{}, armkin::Joints{0.4, 0.2, -0.1, 0.5, -0.6, 0.7}}) {
            armkin::Pose pa, pb;
            a.forward(q, pa);
            b.forward(q, pb);
            EXPECT_EQ(pa.position.x, pb.position.x);
            EXPECT_EQ(pa.position.y, pb.position.y);
            EXPECT_EQ(pa.position.z, pb.position.z);
            EXPECT_EQ(pa.rotation, pb.rotation);
        }
    }
}

TEST(ArmLoaders, FilesThatCannotBeRead) {
    char dir[] = "/tmp/armkin-loaders-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;
    const std::string big = d + "/big.yaml", fifo = d + "/fifo.urdf";
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, armkin::kMaxArmFileBytes + 1), 0);
    ::close(fd);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const std::pair<std::string, std::string> cases[] = {
        {d + "/missing.yaml", d + "/missing.yaml: cannot open: no such file or directory"},
        {d, d + ": is a directory"},
        {big, big + ": file too big (4194305 bytes; the limit is 4194304)"},
        {fifo, fifo + ": not a regular file"},  // and no waiting for a writer
        {"", "no file name given"},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(armkin::loadArm(path).error.message(), message);
    }
    ::unlink(big.c_str());
    ::unlink(fifo.c_str());
    ::rmdir(dir);
}

TEST(ArmLoaders, BuiltinArmReadBackFromBothFormats) {
    const armkin::LoadResult yaml = armkin::loadArm(ARMKIN_ARMS_DIR "/builtin.yaml");
    ASSERT_TRUE(yaml.ok()) << yaml.error.message();
    const armkin::ArmDescription want = armkin::builtinArm();
    EXPECT_EQ(std::memcmp(&yaml.arm.description, &want, sizeof want), 0) << "not the same bits";
    EXPECT_EQ(yaml.arm.jointNames[4], "wrist_bend");
    EXPECT_EQ(yaml.arm.limits[2].upper, M_PI);

    const armkin::LoadResult urdf = armkin::loadArm(ARMKIN_ARMS_DIR "/builtin.urdf");
    ASSERT_TRUE(urdf.ok()) << urdf.error.message();
    EXPECT_EQ(urdf.arm.name, "builtin");
    EXPECT_STREQ(urdf.arm.description.JTYPE.data(), "RRRRRR");
    for (int k = 0; k < 7; ++k) {
        const armkin::Vec3 a = urdf.arm.description.armJointPos[k], b = want.armJointPos[k];
        EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z), 0.0, 1e-15) << "entry " << k;
        const armkin::Vec3 za = urdf.arm.description.armJointAxes[k].Z, zb = want.armJointAxes[k].Z;
        EXPECT_EQ(za.x * zb.x + za.y * zb.y + za.z * zb.z, 1.0) << "turning axis of entry " << k;
    }
}

TEST(ArmLoaders, OptionsChooseTheChainAndTheTool) {
    // A sensor branch makes the tip ambiguous until it is named; a chain
    // from l1 holds only five movable joints.
    const std::string text = urdfArm({}, "<link name=\"cam\"/><joint name=\"c\" type=\"fixed\"><parent link=\"l2\"/>"
                                         "<child link=\"cam\"/><origin xyz=\"1 2 3\"/></joint>\n");
    armkin::UrdfOptions o;
    o.tipLink = "l6";
    o.toolOffset = {{0.1, 0, 0}, {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}}};
    const armkin::LoadResult r = armkin::loadUrdfText(text, "t.urdf", o);
    ASSERT_TRUE(r.ok()) << r.error.message();
    // Six joints 0.5 apart along Z, tool offset turned by 90 degrees about Z.
    const armkin::Vec3 tool = r.arm.description.armJointPos[6];
    EXPECT_NEAR(tool.x, 0.1, 1e-15);
    EXPECT_NEAR(tool.z, 3.0, 1e-15);
    EXPECT_NEAR(r.arm.description.armJointAxes[6].X.y, 1.0, 1e-15);
    EXPECT_EQ(r.arm.limits[0].lower, -1.0);

    o.baseLink = "l1";
    EXPECT_EQ(armkin::loadUrdfText(text, "t.urdf", o).error.message(),
              "t.urdf: 5 movable joints between 'l1' and 'l6'; an arm has 6");
}

TEST(ArmLoaders, LoadsPrintNothingAndKeepErrorsPerThread) {
    // urdfdom reports through console_bridge, to stderr unless caught.
    std::fflush(stderr);
    char path[] = "/tmp/armkin-stderr-XXXXXX";
    const int capture = mkstemp(path);
    ASSERT_GE(capture, 0);
    const int saved = ::dup(2);
    ::dup2(capture, 2);

    // urdfdom also reports a visual it cannot read, without refusing the file.
    const std::string bad = urdfArm({{2, jointLine(2, "continuous", kBadDamping)}});
    const std::string good = urdfArm({{1, jointLine(1, "continuous", "<axis xyz=\"0 0 1\"/>")}},
                                     "<link name=\"v\"><visual><origin xyz=\"1 x 0\"/><geometry><box size=\"1 1 1\"/>"
                                     "</geometry></visual></link><joint name=\"v\" type=\"fixed\"><parent "
                                     "link=\"l6\"/><child link=\"v\"/></joint>\n");
    std::vector<std::thread> threads;
    std::vector<std::string> messages(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < 20; ++n) {
                const armkin::LoadResult r = t % 2 ? armkin::loadUrdfText(bad, "bad" + std::to_string(t))
                                                   : armkin::loadUrdfText(good, "good");
                if (n == 0) messages[t] = r.ok() ? "ok" : r.error.message();
            }
        });
    }
    for (std::thread& th : threads) th.join();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    struct stat st {};
    ::fstat(capture, &st);
    ::close(capture);
    ::unlink(path);
    EXPECT_EQ(st.st_size, 0) << "a load wrote to stderr";
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(messages[t], t % 2 ? "bad" + std::to_string(t) + kBadDampingMessage : "ok");
    }
}

}  // namespace
