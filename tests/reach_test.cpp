// Reach studies: rows that depend on the pair alone (any chunking, thread
// count or trip through bytes) and cost no allocation, the best branch against the solver's own
// list, surface poses, and the study file's errors.

#include "counting_new.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>
#include <armkin/reach.hpp>
#include <armkin/study_file.hpp>

namespace {

using namespace armkin;

const std::string kArms = ARMKIN_ARMS_DIR;

//! Targets from joint vectors drawn in the limits (seeded), every fourth
//! moved far out of reach; placements around the origin.
ReachStudy seededStudy(const std::string& arm, ReachScore score, int spins, unsigned seed) {
    const LoadResult loaded = loadArm(kArms + "/" + arm);
    EXPECT_TRUE(loaded.ok()) << loaded.error.message();
    Model model;
    model.setUp(loaded.arm.description);
    std::mt19937_64 rng(seed);
    std::vector<Pose> targets;
    for (int i = 0; i < 40; ++i) {
        Joints q;
        for (int k = 0; k < 6; ++k) {
            const JointRange l = loaded.arm.limits[k];
            q[k] = std::uniform_real_distribution<double>(0.9 * l.lower, 0.9 * l.upper)(rng);
        }
        Pose p;
        model.forward(q, p);
        if (i % 4 == 3) p.position.x += 5.0;
        targets.push_back(p);
    }
    ReachOptions options;
    options.limits = jointLimits(loaded.arm.limits);
    options.score = score;
    options.spins = spins;
    options.seed = {0.1, -0.2, 0.3, 0.0, 0.5, 0.0};
    std::vector<Placement> placements = {{{0, 0, 0}, 0.0}, {{0.05, -0.02, 0.01}, 0.3}, {{3, 0, 0}, 1.0}};
    ReachStudy study;
    std::string why;
    EXPECT_TRUE(study.setUp(loaded.arm.description, targets, placements, options, &why)) << why;
    return study;
}

struct Outcome {
    std::string csv;
    std::vector<PlacementTotals> totals;
};

Outcome byChunks(const ReachStudy& study, std::int64_t size) {
    ReachWorkspace ws;
    std::vector<ReachRow> rows(static_cast<std::size_t>(size));
    ReachTotals totals(study.placementCount());
    Outcome r;
    for (std::int64_t c = 0; c < study.chunkCount(size); ++c) {
        const std::int64_t n = study.runChunk(c, size, ws, rows);
        const std::span<const ReachRow> got(rows.data(), static_cast<std::size_t>(n));
        appendReachRowsCsv(got, r.csv);
        totals.add(got);
    }
    r.totals.assign(totals.placements().begin(), totals.placements().end());
    return r;
}

void expectSameTotals(const std::vector<PlacementTotals>& a, const std::vector<PlacementTotals>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t p = 0; p < a.size(); ++p) {
        EXPECT_EQ(a[p].reached, b[p].reached);
        // Bit for bit, not within a tolerance.
        EXPECT_EQ(std::memcmp(&a[p].manipulability, &b[p].manipulability, 3 * sizeof(double)), 0) << p;
    }
}

TEST(Reach, RowsAreTheSameBitsForAnyChunkingThreadsOrBytes) {
    for (const char* arm : {"spherical_wrist_offsets.yaml", "offset_wrist_parallel.yaml"}) {
        const ReachStudy study = seededStudy(arm, ReachScore::Manipulability, 3, 7);
        const Outcome whole = byChunks(study, study.pairCount());
        for (std::int64_t size : {1, 7, 64}) {
            const Outcome r = byChunks(study, size);
            EXPECT_EQ(r.csv, whole.csv) << arm << " chunks of " << size;
            expectSameTotals(r.totals, whole.totals);
        }
        for (int threads : {1, 3}) {
            std::string csv;
            ReachTotals totals(study.placementCount());
            std::int64_t expected = 0;
            ASSERT_TRUE(runReach(study, 5, threads, [&](std::int64_t c, std::span<const ReachRow> rows,
                                                       std::string_view text) {
                EXPECT_EQ(c, expected++);
                csv += text;
                totals.add(rows);
                return true;
            }));
            EXPECT_EQ(csv, whole.csv) << arm << " on " << threads << " threads";
            expectSameTotals({totals.placements().begin(), totals.placements().end()}, whole.totals);
        }
        ReachStudy copy;
        std::string why;
        ASSERT_TRUE(fromBytes(toBytes(study), copy, &why)) << why;
        EXPECT_EQ(byChunks(copy, 11).csv, whole.csv);
        std::string cut = toBytes(study);
        cut.pop_back();
        EXPECT_FALSE(fromBytes(cut, copy, &why));
        EXPECT_FALSE(fromBytes("armkrch2" + toBytes(study).substr(8), copy, &why));
        // A sink that stops the run stops it.
        int calls = 0;
        EXPECT_FALSE(runReach(study, 3, 2, [&](std::int64_t, std::span<const ReachRow>, std::string_view) {
            return ++calls < 2;
        }));
        EXPECT_EQ(calls, 2);
        // A sink that throws: the exception comes out after the threads end.
        EXPECT_THROW(runReach(study, 3, 2, [&](std::int64_t c, std::span<const ReachRow>, std::string_view) {
            if (c == 1) throw std::runtime_error("disk full");
            return true;
        }), std::runtime_error);
        // A chunk allocates nothing once its workspace has served one.
        ReachWorkspace ws;
        std::vector<ReachRow> rows(16);
        study.runChunk(0, 16, ws, rows);
        const long before = allocations.load();
        for (std::int64_t c = 0; c < study.chunkCount(16); ++c) study.runChunk(c, 16, ws, rows);
        EXPECT_EQ(allocations.load(), before);
    }
}

TEST(Reach, TheBestBranchIsTheBestOfTheSolversListAndReachesTheTarget) {
    for (ReachScore score : {ReachScore::Manipulability, ReachScore::LimitDistance, ReachScore::SeedDistance}) {
        const ReachStudy study = seededStudy("spherical_wrist_offsets.yaml", score, 1, 11);
        ReachWorkspace rws;
        std::vector<ReachRow> rows(static_cast<std::size_t>(study.pairCount()));
        ASSERT_EQ(study.runChunk(0, study.pairCount(), rws, rows), study.pairCount());
        Workspace ws;
        SolveOptions o;
        o.limits = study.options().limits;
        o.seed = study.options().seed;
        SolveResult all;
        int reached = 0;
        for (const ReachRow& row : rows) {
            const Pose target = study.armTarget(study.targets()[static_cast<std::size_t>(row.target)],
                                                study.placements()[static_cast<std::size_t>(row.placement)]);
            solve(study.model(), ws, target, o, all);
            ASSERT_EQ(row.reached(), all.count > 0);
            if (!row.reached()) {
                EXPECT_EQ(row.status, all.status);
                EXPECT_EQ(row.spin, -1);
                continue;
            }
            ++reached;
            EXPECT_EQ(row.branches, all.branches);
            Solution s;
            study.model().residuals(row.joints, target, s);
            EXPECT_LT(s.positionError, 1e-9);
            EXPECT_LT(s.rotationError, 1e-9);
            // No branch of the solver's list beats the one chosen, on the
            // scores that are simple to state.
            for (int b = 0; b < all.count; ++b) {
                const Joints& q = all.solutions[b].joints;
                double d = 0.0, margin = 1.0;
                for (int k = 0; k < 6; ++k) {
                    d += (q[k] - o.seed[k]) * (q[k] - o.seed[k]);
                    const double half = 0.5 * (o.limits.upper[k] - o.limits.lower[k]);
                    margin = std::min(margin, std::min(q[k] - o.limits.lower[k], o.limits.upper[k] - q[k]) / half);
                }
                if (score == ReachScore::SeedDistance) {
                    EXPECT_GE(std::sqrt(d), row.seedDistance - 1e-12);
                } else if (score == ReachScore::LimitDistance) {
                    EXPECT_LE(margin, row.limitDistance + 1e-12);
                }
            }
        }
        // The far targets and the far placement reach nothing; the rest mostly do.
        EXPECT_GT(reached, 40);
        EXPECT_LE(reached, 60);
        ReachTotals totals(study.placementCount());
        totals.add(rows);
        EXPECT_EQ(totals.placements()[2].reached, 0);
        EXPECT_EQ(totals.ranking(score).back(), 2);
    }
}

TEST(Reach, SurfacePosesPointTheToolIntoTheSurface) {
    std::mt19937_64 rng(3);
    std::normal_distribution<double> g;
    std::vector<Vec3> normals = {{1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0.95, 0.05, 0.0}, {0, 0, -3}};
    for (int i = 0; i < 200; ++i) normals.push_back({g(rng), g(rng), g(rng)});
    for (const Vec3& n : normals) {
        Pose p;
        ASSERT_TRUE(surfacePose({1, 2, 3}, n, p));
        const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        EXPECT_NEAR(p.rotation[0][2], -n.x / len, 1e-15);
        EXPECT_NEAR(p.rotation[1][2], -n.y / len, 1e-15);
        EXPECT_NEAR(p.rotation[2][2], -n.z / len, 1e-15);
        EXPECT_EQ(checkTarget(p, SolveOptions{}), Status::Ok);
    }
    Pose p;
    EXPECT_FALSE(surfacePose({0, 0, 0}, {0, 0, 0}, p));
    EXPECT_FALSE(surfacePose({0, 0, 0}, {NAN, 0, 1}, p));
}

TEST(Reach, StudyFilesSayWhatIsWrongAndWhere) {
    const std::string arm = "arm: " + kArms + "/spherical_wrist_offsets.yaml\n";
    const std::string targets = "targets: {points: [[0.5, 0, 0.3, 0, 0, 1]]}\n";
    const std::string placements = "placements: {list: [[0, 0, 0]]}\n";
    const struct {
        std::string yaml;
        std::string says;
    } cases[] = {
        {targets + placements, "missing 'arm'"},
        {arm + placements, "missing 'targets'"},
        {arm + targets, "missing 'placements'"},
        {arm + targets + placements + "colour: red\n", "s.yaml:4: the study: unknown key 'colour'"},
        {arm + "targets: {points: [[0.5, 0, 0.3, 0, 0]]}\n" + placements, "list of 6 numbers"},
        {arm + "targets: {points: [[0.5, 0, 0.3, 0, 0, 0]]}\n" + placements, "normal of point 0 is zero"},
        {arm + "targets: {poses: [[0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2]]}\n" + placements, "target 0"},
        {arm + "targets: {points: x.csv, poses: y.csv}\n" + placements, "either poses or points"},
        {arm + targets + "placements: {grid: {x: [0, 1, 0.5]}}\n", "count must be a whole number"},
        {arm + targets + placements + "score: comfort\n", "score must be"},
        {arm + "targets: {points: [[0.5, 0, 0.3, 0, 0, 1]], spins: 0}\n" + placements, "spins must be"},
        {arm + targets + placements + "limits: [[1, 0], [0, 1], [0, 1], [0, 1], [0, 1], [0, 1]]\n",
         "lower limit exceeds"},
        {"arm: no/such/arm.yaml\n" + targets + placements, "no/such/arm.yaml"},
        {arm + "targets: {points: no_such_points.csv}\n" + placements, "no_such_points.csv: cannot be read"},
    };
    for (const auto& c : cases) {
        const StudyLoadResult r = loadStudyText(c.yaml, "s.yaml", "");
        ASSERT_FALSE(r.ok()) << c.yaml;
        EXPECT_NE(r.error.message().find(c.says), std::string::npos) << r.error.message();
    }
    // A grid in degrees: x outermost, turn innermost, both ends included.
    const StudyLoadResult r = loadStudyText(
        arm + targets + "angles: degrees\nplacements: {grid: {x: [-1, 1, 3], turn: [0, 90, 2]}}\n", "s", "");
    ASSERT_TRUE(r.ok()) << r.error.message();
    const auto p = r.study.study.placements();
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[1].turn, M_PI / 2);
    EXPECT_EQ(p[2].position.x, 0.0);
    EXPECT_EQ(p[5].position.x, 1.0);
}

}  // namespace
