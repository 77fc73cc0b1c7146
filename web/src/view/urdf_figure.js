// One arm drawn with its URDF's own visuals (meshes or shapes), posed by
// joint name: urdf-loader builds the links, the branch's joint values turn
// them. Mesh files come from the files dropped beside the URDF.

import * as THREE from 'three';
import URDFLoader from 'urdf-loader';
import { translucent } from './arm_figure.js';

const fileName = (url) => decodeURIComponent(url.split(/[/\\]/).pop());

/**
 * A loader whose mesh paths resolve to the dropped files by their name. A
 * mesh that was not dropped, or does not load, is left out and its name
 * handed to onMissing; nothing is fetched from elsewhere.
 */
export function urdfLoader(meshFiles, onMissing) {
  const manager = new THREE.LoadingManager();
  manager.setURLModifier((url) => meshFiles.get(fileName(url)) ?? url);
  const loader = new URDFLoader(manager);
  loader.packages = (pkg) => pkg;
  loader.loadMeshCb = (path, loadManager, material, done) => {
    const name = fileName(path);
    if (!meshFiles.has(name)) {
      onMissing(name);
      done(null);
      return;
    }
    loader.defaultMeshLoader(path, loadManager, material, (mesh, error) => {
      if (error || !mesh) onMissing(name);
      done(error ? null : mesh);
    });
  };
  return loader;
}

export class UrdfFigure {
  /** text: the URDF; jointNames: the arm's six joints in order. */
  constructor(loader, text, jointNames) {
    this.robot = loader.parse(text);
    this.group = new THREE.Group();
    this.group.add(this.robot);
    this.jointNames = jointNames;
    this.color = new THREE.Color();
    this.opacity = 1;
  }

  /** Sets the joints; frames are not needed, the links follow the joints. */
  update(frames, q) {
    this.jointNames.forEach((name, k) => this.robot.joints[name]?.setJointValue(q[k]));
    this.applyStyle();
  }

  setStyle(color, opacity) {
    this.color.set(color);
    this.opacity = opacity;
    this.applyStyle();
  }

  /** Meshes arrive as their files load, so the style is applied on each update. */
  applyStyle() {
    this.robot.traverse((o) => {
      if (!o.isMesh) return;
      if (!o.userData.ownMaterial) {
        o.material = (Array.isArray(o.material) ? o.material[0] : o.material).clone();
        o.userData.ownMaterial = true;
      }
      o.material.color.copy(this.color);
      translucent(o.material, this.opacity);
    });
  }
}
