// One arm drawn as a stick figure from its frames: a rod from each joint
// to the next, a drum along each turning joint's axis, a block along each
// sliding joint, a base plate and the tool's axes. Colour and opacity are
// set per figure, so a branch can be translucent or solid.

import * as THREE from 'three';

const rod = new THREE.CylinderGeometry(1, 1, 1, 16);
const drum = new THREE.CylinderGeometry(1, 1, 1, 24);
const block = new THREE.BoxGeometry(1, 1, 1);
const up = new THREE.Vector3(0, 1, 0);

/** A three.js matrix of a pose (position, rotation row by row). */
export function poseMatrix(pose) {
  const r = pose.rotation;
  const p = pose.position;
  return new THREE.Matrix4().set(
    r[0][0], r[0][1], r[0][2], p[0],
    r[1][0], r[1][1], r[1][2], p[1],
    r[2][0], r[2][1], r[2][2], p[2],
    0, 0, 0, 1);
}

export class StickFigure {
  /** types: the joint letters ('R', 'S'); size: the rod radius. */
  constructor(types, size) {
    this.group = new THREE.Group();
    this.size = size;
    this.material = new THREE.MeshStandardMaterial({ roughness: 0.5, metalness: 0.1 });
    this.rods = [];
    for (let i = 0; i < 7; ++i) this.rods.push(this.add(rod, this.material));
    this.joints = [...types].map((t) => this.add(t === 'S' ? block : drum, this.material));
    this.base = this.add(drum, this.material);
    this.toolAxes = [0xd03030, 0x30a030, 0x3050d0].map((c) => this.add(rod, new THREE.MeshStandardMaterial({ color: c })));
  }

  add(geometry, material) {
    const mesh = new THREE.Mesh(geometry, material);
    mesh.matrixAutoUpdate = false;
    this.group.add(mesh);
    return mesh;
  }

  /** Places every piece from the arm's frames (base, joints 0 to 5, tool). */
  update(frames) {
    const s = this.size;
    const origins = frames.map((f) => new THREE.Vector3(...f.position));
    for (let i = 0; i < 7; ++i) placeRod(this.rods[i], origins[i], origins[i + 1], s);
    this.joints.forEach((mesh, k) => {
      const m = poseMatrix(frames[k + 1]);
      // A drum's length runs along its local Y; the joint turns about Z.
      const shape = mesh.geometry === block
        ? new THREE.Matrix4().makeScale(4 * s, 2.2 * s, 2.2 * s)
        : new THREE.Matrix4().makeRotationX(Math.PI / 2).multiply(new THREE.Matrix4().makeScale(1.8 * s, 3.2 * s, 1.8 * s));
      mesh.matrix.copy(m.multiply(shape));
    });
    const base = poseMatrix(frames[0]);
    this.base.matrix.copy(base.multiply(new THREE.Matrix4().makeRotationX(Math.PI / 2)
      .multiply(new THREE.Matrix4().makeScale(4 * s, 0.6 * s, 4 * s))));
    const tool = poseMatrix(frames[7]);
    const o = origins[7];
    [0, 1, 2].forEach((c) => {
      const axis = new THREE.Vector3().setFromMatrixColumn(tool, c);
      placeRod(this.toolAxes[c], o, o.clone().addScaledVector(axis, 6 * s), 0.35 * s);
    });
  }

  setStyle(color, opacity) {
    this.material.color.set(color);
    for (const m of [this.material, ...this.toolAxes.map((a) => a.material)]) translucent(m, opacity);
  }
}

function placeRod(mesh, a, b, radius) {
  const d = new THREE.Vector3().subVectors(b, a);
  const length = d.length();
  mesh.visible = length > 1e-9;
  if (!mesh.visible) return;
  const q = new THREE.Quaternion().setFromUnitVectors(up, d.clone().divideScalar(length));
  mesh.matrix.compose(a.clone().addScaledVector(d, 0.5), q, new THREE.Vector3(radius, length, radius));
}

/**
 * Opacity of a figure's material. A translucent figure draws only where it
 * lies strictly in front of what is drawn: where branches share a link (the
 * wrist flips of one arm pose) that link keeps one colour, and the solid arm
 * keeps its own, instead of a blend of all of them.
 */
export function translucent(material, opacity) {
  material.transparent = opacity < 1;
  material.opacity = opacity;
  material.depthWrite = true;
  material.depthFunc = opacity < 1 ? THREE.LessDepth : THREE.LessEqualDepth;
}
