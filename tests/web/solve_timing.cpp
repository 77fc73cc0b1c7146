// The native side of the page's speed check: microseconds per solve of the
// poses on standard input (x y z r11 .. r33 per line), with the arm file's
// limits as `armkin ik --mode all` solves them; the best of ROUNDS rounds
// of REPEATS passes over the poses.
//   web_solve_timing ARM_FILE REPEATS ROUNDS < poses

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: web_solve_timing ARM_FILE REPEATS ROUNDS < poses\n");
        return 2;
    }
    const armkin::LoadResult loaded = armkin::loadArm(argv[1]);
    if (!loaded) {
        std::fprintf(stderr, "%s\n", loaded.error.message().c_str());
        return 2;
    }
    const int repeats = std::atoi(argv[2]);
    const int rounds = std::atoi(argv[3]);
    std::vector<armkin::Pose> poses;
    armkin::Pose p;
    auto& r = p.rotation;
    while (std::scanf("%lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf %lf", &p.position.x, &p.position.y,
                      &p.position.z, &r[0][0], &r[0][1], &r[0][2], &r[1][0], &r[1][1], &r[1][2], &r[2][0],
                      &r[2][1], &r[2][2]) == 12)
        poses.push_back(p);
    if (poses.empty() || repeats <= 0 || rounds <= 0) {
        std::fprintf(stderr, "web_solve_timing: no poses, or REPEATS or ROUNDS not positive\n");
        return 2;
    }
    armkin::Engine engine;
    engine.setUp(loaded.arm.description);
    armkin::SolveOptions options;
    options.limits = armkin::jointLimits(loaded.arm.limits);
    armkin::SolveResult result;
    long found = 0;
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < repeats; ++i) {
            for (const armkin::Pose& pose : poses) found += engine.solve(pose, options, result);
        }
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - t0;
        if (spent.count() < best) best = spent.count();
    }
    // found keeps the solves from being optimised away.
    std::printf("%.4f %ld\n", best / (static_cast<double>(repeats) * static_cast<double>(poses.size())), found);
    return 0;
}
