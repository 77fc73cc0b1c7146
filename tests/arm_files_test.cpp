// The example arms in arms/ and the URDF loader against an independent
// reading: kdl_parser builds a KDL chain from the same text and KDL's
// forward kinematics must give the same tool frame, to 1e-12, as the
// engine's on the loaded description. The YAML version of each arm must
// agree with its URDF version to the same bound.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>

#if ARMKIN_HAVE_KDL
#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <kdl/tree.hpp>
#include <kdl_parser/kdl_parser.hpp>
#endif

namespace {

const char* const kArms[] = {"builtin", "spherical_wrist_offsets", "offset_wrist_parallel", "cylindrical_sliding"};
constexpr int kVectors = 1000;

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A joint vector inside the limits; [-pi, pi] where a limit is open.
armkin::Joints sample(const armkin::LoadedArm& arm, std::mt19937_64& rng) {
    armkin::Joints q;
    for (int i = 0; i < 6; ++i) {
        const double lo = std::isfinite(arm.limits[i].lower) ? arm.limits[i].lower : -M_PI;
        const double hi = std::isfinite(arm.limits[i].upper) ? arm.limits[i].upper : M_PI;
        q[i] = std::uniform_real_distribution<double>(lo, hi)(rng);
    }
    return q;
}

double distance(const armkin::Pose& a, const armkin::Pose& b) {
    double d = std::max({std::fabs(a.position.x - b.position.x), std::fabs(a.position.y - b.position.y),
                         std::fabs(a.position.z - b.position.z)});
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) d = std::max(d, std::fabs(a.rotation[r][c] - b.rotation[r][c]));
    return d;
}

armkin::LoadResult load(const std::string& path) {
    armkin::LoadResult r = armkin::loadArm(path);
    EXPECT_TRUE(r.ok()) << r.error.message();
    return r;
}

TEST(ExampleArms, YamlAndUrdfVersionsAgree) {
    for (const char* stem : kArms) {
        SCOPED_TRACE(stem);
        const armkin::LoadResult yaml = load(ARMKIN_ARMS_DIR "/" + std::string(stem) + ".yaml");
        const armkin::LoadResult urdf = load(ARMKIN_ARMS_DIR "/" + std::string(stem) + ".urdf");
        if (!yaml.ok() || !urdf.ok()) continue;
        EXPECT_EQ(yaml.arm.name, urdf.arm.name);
        EXPECT_EQ(yaml.arm.jointNames, urdf.arm.jointNames);
        EXPECT_STREQ(yaml.arm.description.JTYPE.data(), urdf.arm.description.JTYPE.data());
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(yaml.arm.limits[i].lower, urdf.arm.limits[i].lower) << "joint " << i;
            EXPECT_EQ(yaml.arm.limits[i].upper, urdf.arm.limits[i].upper) << "joint " << i;
        }
        armkin::Engine a, b;
        ASSERT_TRUE(a.setUp(yaml.arm.description));
        ASSERT_TRUE(b.setUp(urdf.arm.description));
        std::mt19937_64 rng(12);
        double worst = 0.0;
        for (int n = 0; n < kVectors; ++n) {
            const armkin::Joints q = sample(urdf.arm, rng);
            armkin::Pose pa, pb;
            a.forward(q, pa);
            b.forward(q, pb);
            worst = std::max(worst, distance(pa, pb));
        }
        std::printf("%-24s YAML vs URDF: max deviation %.2e over %d vectors\n", stem, worst, kVectors);
        EXPECT_LE(worst, 1e-12);
    }
}

// Every shipped arm with its own limits: the typed vector is among the
// solutions of its pose (every copy listed), except on singular poses where
// it is one member of a continuous family.
TEST(ExampleArms, TypedVectorAmongTheSolutionsWithTheArmsOwnLimits) {
    for (const char* stem : kArms) {
        SCOPED_TRACE(stem);
        const armkin::LoadResult file = load(ARMKIN_ARMS_DIR "/" + std::string(stem) + ".urdf");
        if (!file.ok()) continue;
        armkin::Engine engine;
        ASSERT_TRUE(engine.setUp(file.arm.description));
        armkin::SolveOptions options;
        options.limits = armkin::jointLimits(file.arm.limits);
        options.copies = armkin::Copies::All;
        std::mt19937_64 rng(31);
        int regular = 0, found = 0;
        armkin::SolveResult r;
        for (int n = 0; n < 300; ++n) {
            const armkin::Joints typed = sample(file.arm, rng);
            armkin::Pose pose;
            engine.forward(typed, pose);
            engine.solve(pose, options, r);
            ASSERT_TRUE(r.ok()) << armkin::describe(r);
            EXPECT_FALSE(r.truncated);
            bool singular = false, among = false;
            for (int k = 0; k < r.count; ++k) {
                singular = singular || r.solutions[k].status == armkin::SolutionStatus::Singular;
                double gap = 0.0;
                for (int i = 0; i < 6; ++i) {
                    double d = r.solutions[k].joints[i] - typed[i];
                    // An unbounded turning joint is listed at the copy nearest the seed.
                    if (std::isinf(file.arm.limits[i].upper) && file.arm.description.JTYPE[i] == 'R')
                        d = std::remainder(d, 2.0 * M_PI);
                    gap = std::max(gap, std::fabs(d));
                }
                among = among || gap < 1e-6;
            }
            if (singular) continue;
            ++regular;
            found += among;
            EXPECT_TRUE(among) << "pose " << n;
        }
        std::printf("%-24s typed vector among the solutions on %d of %d regular poses\n", stem, found, regular);
    }
}

#if ARMKIN_HAVE_KDL

// The tool frame by KDL, for the chain from the tree's root to its only leaf
// (the tip the loader finds), followed by the tool offset.
struct KdlArm {
    KDL::Chain chain;
    bool read(const std::string& xml) {
        KDL::Tree tree;
        if (!kdl_parser::treeFromString(xml, tree)) return false;
        std::string tip;
        for (const auto& [name, element] : tree.getSegments())
            if (GetTreeElementChildren(element).empty()) tip = name;
        return tree.getChain(tree.getRootSegment()->first, tip, chain);
    }
    armkin::Pose pose(const armkin::Joints& q, const armkin::Pose& offset) {
        KDL::ChainFkSolverPos_recursive fk(chain);
        KDL::JntArray j(chain.getNrOfJoints());
        for (unsigned i = 0; i < j.rows() && i < 6; ++i) j(i) = q[i];
        KDL::Frame f;
        fk.JntToCart(j, f);
        const armkin::Rotation& R = offset.rotation;
        f = f * KDL::Frame(KDL::Rotation(R[0][0], R[0][1], R[0][2], R[1][0], R[1][1], R[1][2], R[2][0], R[2][1], R[2][2]),
                           KDL::Vector(offset.position.x, offset.position.y, offset.position.z));
        armkin::Pose p;
        p.position = {f.p.x(), f.p.y(), f.p.z()};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) p.rotation[r][c] = f.M(r, c);
        return p;
    }
};

// The largest deviation of the engine on the loaded URDF from KDL on the
// same text, over `vectors` seeded joint vectors.
double worstAgainstKdl(const std::string& xml, const armkin::UrdfOptions& options, int vectors,
                       std::uint64_t seed) {
    const armkin::LoadResult r = armkin::loadUrdfText(xml, "arm.urdf", options);
    EXPECT_TRUE(r.ok()) << r.error.message();
    KdlArm kdl;
    EXPECT_TRUE(kdl.read(xml));
    EXPECT_EQ(kdl.chain.getNrOfJoints(), 6u);
    armkin::Engine engine;
    if (!r.ok() || kdl.chain.getNrOfJoints() != 6 || !engine.setUp(r.arm.description)) return INFINITY;
    std::mt19937_64 rng(seed);
    double worst = 0.0;
    for (int n = 0; n < vectors; ++n) {
        const armkin::Joints q = sample(r.arm, rng);
        armkin::Pose ours;
        engine.forward(q, ours);
        worst = std::max(worst, distance(ours, kdl.pose(q, options.toolOffset)));
    }
    return worst;
}

TEST(ExampleArms, ForwardKinematicsMatchesKdl) {
    for (const char* stem : kArms) {
        SCOPED_TRACE(stem);
        const double worst = worstAgainstKdl(readText(ARMKIN_ARMS_DIR "/" + std::string(stem) + ".urdf"), {},
                                             kVectors, 7);
        std::printf("%-24s loader vs KDL: max deviation %.2e over %d vectors\n", stem, worst, kVectors);
        EXPECT_LE(worst, 1e-12);
    }
}

// Random chains: joints 0..2 turn or slide, axes in any direction and of any
// length (among them exactly along and nearly along the joint frame's own
// axes), fixed joints in between, any origins, any tool offset.
TEST(UrdfLoader, AnyAxisDirectionMatchesKdl) {
    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const auto num = [&](double scale) {
        char b[32];
        std::snprintf(b, sizeof b, "%.17g", scale * u(rng));
        return std::string(b);
    };
    const char* const special[] = {"1 0 0", "0 1 0", "0 0 1", "0 0 -3", "1 1e-3 0", "0.999 0 0.01"};
    double worst = 0.0;
    for (int arm = 0; arm < 60; ++arm) {
        std::string xml = "<robot name=\"r\">\n<link name=\"l0\"/>\n";
        int link = 0, movable = 0;
        const auto joint = [&](const std::string& type, const std::string& axis) {
            std::string p = "l", c = "l";
            p += std::to_string(link);
            c += std::to_string(link + 1);
            xml += "<link name=\"" + c + "\"/><joint name=\"j" + std::to_string(link) + "\" type=\"" + type +
                   "\"><parent link=\"" + p + "\"/><child link=\"" + c + "\"/><origin xyz=\"" + num(1) + " " +
                   num(1) + " " + num(1) + "\" rpy=\"" + num(3.2) + " " + num(1.6) + " " + num(3.2) + "\"/>" +
                   (axis.empty() ? "" : "<axis xyz=\"" + axis + "\"/>") +
                   "<limit lower=\"-2\" upper=\"2\" effort=\"1\" velocity=\"1\"/></joint>\n";
            ++link;
        };
        while (movable < 6) {
            if (rng() % 3 == 0) joint("fixed", "");
            const std::string axis = rng() % 3 == 0 ? special[rng() % 6]
                                                     : num(1) + " " + num(1) + " " + num(1) + "";
            const char* type = movable < 3 && rng() % 3 == 0 ? "prismatic" : (rng() % 4 ? "revolute" : "continuous");
            joint(type, axis);
            ++movable;
        }
        if (rng() % 2) joint("fixed", "");
        xml += "</robot>\n";

        armkin::UrdfOptions options;
        const armkin::Pose turned{{0.1, -0.2, 0.3}, {{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}}};
        if (arm % 2) options.toolOffset = turned;
        SCOPED_TRACE(xml);
        worst = std::max(worst, worstAgainstKdl(xml, options, 100, arm));
    }
    std::printf("random chains loader vs KDL: max deviation %.2e\n", worst);
    EXPECT_LE(worst, 1e-12);
}

#else

TEST(ExampleArms, ForwardKinematicsMatchesKdl) {
    GTEST_SKIP() << "kdl_parser or Orocos KDL is not installed (scripts/deps installs them)";
}

#endif

}  // namespace
