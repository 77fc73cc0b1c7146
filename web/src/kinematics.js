// The library in the page: an arm set up in the WebAssembly module, its
// solutions read in place from the module's buffer.

import createArmkinModule from 'armkin-wasm';

/** Loads the module; the .wasm file sits beside the page's script. */
export async function loadKinematics() {
  return createArmkinModule({
    locateFile: (file) => new URL(file, import.meta.url).href,
  });
}

/** A pose as the library takes it: position, then the rotation row by row. */
export function poseValues(pose) {
  const r = pose.rotation;
  return [pose.position[0], pose.position[1], pose.position[2],
    r[0][0], r[0][1], r[0][2], r[1][0], r[1][1], r[1][2], r[2][0], r[2][1], r[2][2]];
}

function poseAt(buf, at) {
  return {
    position: [buf[at], buf[at + 1], buf[at + 2]],
    rotation: [[buf[at + 3], buf[at + 4], buf[at + 5]],
      [buf[at + 6], buf[at + 7], buf[at + 8]],
      [buf[at + 9], buf[at + 10], buf[at + 11]]],
  };
}

/** One arm in the module: set up from a reader's values, then solved. */
export class Arm {
  constructor(module) {
    this.module = module;
    this.native = new module.PageArm();
    this.solutionStride = module.solutionStride;
    this.poseStride = module.poseStride;
    this.statusNames = [0, 1, 2].map((c) => module.solutionStatusName(c));
  }

  /** Sets the arm up; returns '' or the library's reason. */
  setUp(values) {
    const reason = this.native.setUp(values);
    if (reason) return reason;
    this.name = this.native.name();
    this.types = this.native.jointTypes();
    this.jointNames = [0, 1, 2, 3, 4, 5].map((k) => this.native.jointName(k));
    this.limits = [0, 1, 2, 3, 4, 5].map((k) => [this.native.lower(k), this.native.upper(k)]);
    return '';
  }

  buffer() {
    // A fresh view each time: cheap, and right whatever the module's memory does.
    return new Float64Array(this.module.HEAPF64.buffer, this.native.buffer(), 1024 * this.solutionStride);
  }

  /**
   * Every branch of the pose within the arm's limits (`armkin ik --mode all`):
   * {branches: [{joints, positionError, rotationError, status}], status, reason}.
   */
  solve(pose) {
    const count = this.native.solve(...poseValues(pose));
    const buf = this.buffer();
    const branches = [];
    for (let i = 0; i < count; ++i) branches.push(this.solutionAt(buf, i * this.solutionStride));
    // Status and reason cross over only when there is no solution.
    return count ? { branches, status: 'ok', reason: '' } : { branches, status: this.native.status(), reason: this.native.reason() };
  }

  /** The tracking step from joints q: the solution, or null (status() says why). */
  track(pose, q) {
    if (!this.native.track(...poseValues(pose), ...q)) return null;
    return this.solutionAt(this.buffer(), 0);
  }

  status() { return this.native.status(); }
  reason() { return this.native.reason(); }

  /** The tool pose at joints q. */
  forward(q) {
    this.native.forward(...q);
    return poseAt(this.buffer(), 0);
  }

  /** Base, joint frames 0 to 5 after their motion, and tool at joints q. */
  frames(q) {
    this.native.frames(...q);
    const buf = this.buffer();
    const out = [];
    for (let i = 0; i < 8; ++i) out.push(poseAt(buf, i * this.poseStride));
    return out;
  }

  solutionAt(buf, at) {
    return {
      joints: Array.from(buf.subarray(at, at + 6)),
      positionError: buf[at + 6],
      rotationError: buf[at + 7],
      status: this.statusNames[buf[at + 8]],
    };
  }
}
