//! Menu 1 (and every key the menu does not otherwise know): six joint
//! displacements in, the tool position and axes out.

#include "driver/session.hpp"

namespace kin::driver {

void Session::forwardTest() {
    console_.print("\n順運動学テスト 関節角設定（コンマなしで）PHI0[]=");
    console_.readDoubles(r_.PHI0);
    targetFrom(r_.PHI0);  // GE is computed but not shown here

    console_.print("\n順運動学計算テスト analys()後");
    printVec("\n位置  GP[] =(%8.4f, %8.4f, %8.4f)", r_.GP);
    printVec("\n姿勢X GO0[]=(%8.4f, %8.4f, %8.4f)", r_.GO.X);
    printVec("\n    Y GO1[]=(%8.4f, %8.4f, %8.4f)", r_.GO.Y);
    printVec("\n    Z GO2[]=(%8.4f, %8.4f, %8.4f)", r_.GO.Z);
    console_.print("\nmain() 順運動学計算テスト終り");
    console_.readKey();
}

}  // namespace kin::driver
