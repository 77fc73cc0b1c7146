// URDF read into the values the library's binding takes: the joints from
// the base link to the tip link, with their origins, axes, types and
// limits. The structure is checked as the native loader checks it (names
// given once, joints joining known links into one tree, six movable joints,
// no coupled joint) and refused with the native wording and, where one is
// to blame, the line of the joint or link.

import { ArmFileError, checkText, parseNumber, quoted } from './arm_file_error.js';

const jointTypes = ['revolute', 'continuous', 'prismatic', 'fixed', 'floating', 'planar'];

/** Lines of the <link> and <joint> elements, in document order (comments skipped). */
function elementLines(text) {
  const lines = { link: [], joint: [] };
  const re = /<!--[\s\S]*?-->|<(link|joint)[\s/>]/g;
  let line = 1;
  let last = 0;
  for (let m = re.exec(text); m; m = re.exec(text)) {
    for (let i = last; i < m.index; ++i) if (text.charCodeAt(i) === 10) ++line;
    last = m.index;
    if (m[1]) lines[m[1]].push(line);
  }
  return lines;
}

class UrdfReader {
  constructor(text, file) {
    this.text = text;
    this.file = file;
  }

  fail(line, reason) { throw new ArmFileError(this.file, line, reason); }

  /** Numbers of an attribute such as xyz="0 0 1"; missing: the default. */
  vector(element, attribute, owner, line, fallback) {
    if (!element || !element.hasAttribute(attribute)) return fallback;
    const parts = element.getAttribute(attribute).trim().split(/\s+/).filter(Boolean);
    const tag = `<${element.localName} ${attribute}>`;
    if (parts.length !== 3) this.fail(line, `${owner}: ${tag} must hold 3 numbers`);
    return parts.map((p) => {
      const n = parseNumber(p);
      if (n.problem) this.fail(line, `${owner}: ${tag}: ${n.problem}`);
      return n.value;
    });
  }

  scalar(element, attribute, owner, line) {
    const n = parseNumber(element.getAttribute(attribute) ?? '');
    if (n.problem) this.fail(line, `${owner}: <limit ${attribute}>: ${n.problem}`);
    return n.value;
  }

  parse() {
    const doc = new DOMParser().parseFromString(this.text, 'application/xml');
    const error = doc.getElementsByTagName('parsererror')[0];
    if (error) {
      const detail = error.textContent.replace(/\s+/g, ' ');
      const at = /line (\d+)/.exec(detail);
      const what = /error on line \d+ at column \d+: ([^.]*)/.exec(detail);
      this.fail(at ? Number(at[1]) : 0, `malformed XML: ${what ? what[1].trim() : detail.trim()}`);
    }
    const robot = doc.documentElement;
    if (!robot || robot.localName !== 'robot') this.fail(1, 'the file has no <robot> element');
    const lines = elementLines(this.text);
    const all = { link: [...doc.getElementsByTagName('link')], joint: [...doc.getElementsByTagName('joint')] };
    const lineOf = (kind, element) => lines[kind][all[kind].indexOf(element)] ?? 0;

    this.name = robot.getAttribute('name') ?? '';
    this.links = new Map();
    for (const el of [...robot.children].filter((e) => e.localName === 'link')) {
      const name = el.getAttribute('name');
      const line = lineOf('link', el);
      if (!name) this.fail(line, 'a link without a name');
      if (this.links.has(name)) this.fail(line, `link ${quoted(name)} given twice`);
      this.links.set(name, { name, line, parent: null, children: [] });
    }
    this.joints = new Map();
    for (const el of [...robot.children].filter((e) => e.localName === 'joint')) {
      this.readJoint(el, lineOf('joint', el));
    }
    if (this.links.size === 0) this.fail(0, 'the robot has no links');
    const roots = [...this.links.values()].filter((l) => !l.parent);
    if (roots.length !== 1) {
      this.fail(0, `the links form ${roots.length} trees (roots ${roots.slice(0, 4).map((l) => quoted(l.name)).join(', ')}); a robot has one`);
    }
    this.root = roots[0];
  }

  readJoint(el, line) {
    const name = el.getAttribute('name');
    if (!name) this.fail(line, 'a joint without a name');
    const owner = `joint ${quoted(name)}`;
    if (this.joints.has(name)) this.fail(line, `${owner} given twice`);
    const type = el.getAttribute('type') ?? '';
    if (!jointTypes.includes(type)) this.fail(line, `${owner}: unknown joint type ${quoted(type)}`);
    const child = (tag) => [...el.children].find((c) => c.localName === tag);
    const linkOf = (tag) => {
      const link = child(tag)?.getAttribute('link');
      if (!link) this.fail(line, `${owner}: no <${tag} link>`);
      if (!this.links.has(link)) this.fail(line, `${owner}: unknown ${tag} link ${quoted(link)}`);
      return this.links.get(link);
    };
    const parent = linkOf('parent');
    const childLink = linkOf('child');
    if (parent === childLink) this.fail(line, `${owner} joins link ${quoted(parent.name)} to itself`);
    if (childLink.parent) {
      this.fail(line, `link ${quoted(childLink.name)} has two parent joints (${quoted(childLink.parent.name)} and ${quoted(name)})`);
    }
    const origin = child('origin');
    const joint = {
      name, type, line, parent, child: childLink,
      xyz: this.vector(origin, 'xyz', owner, line, [0, 0, 0]),
      rpy: this.vector(origin, 'rpy', owner, line, [0, 0, 0]),
      axis: this.vector(child('axis'), 'xyz', owner, line, [1, 0, 0]),
      limits: null,
      mimic: child('mimic')?.getAttribute('joint') ?? null,
    };
    const limit = child('limit');
    if (type === 'revolute' || type === 'prismatic') {
      if (!limit) this.fail(line, `${owner} is ${type} but gives no <limit>`);
      joint.limits = [
        limit.hasAttribute('lower') ? this.scalar(limit, 'lower', owner, line) : 0,
        limit.hasAttribute('upper') ? this.scalar(limit, 'upper', owner, line) : 0,
      ];
      if (joint.limits[0] > joint.limits[1]) {
        this.fail(line, `${owner}: lower limit ${joint.limits[0]} above upper limit ${joint.limits[1]}`);
      }
    }
    childLink.parent = joint;
    parent.children.push(joint);
    this.joints.set(name, joint);
  }

  /** The leaves below a link, depth first; a loop shows as a link met twice. */
  leaves(link, out, seen) {
    if (seen.has(link)) this.fail(link.line, `the joints form a loop through link ${quoted(link.name)}`);
    seen.add(link);
    if (link.children.length === 0) out.push(link);
    for (const j of link.children) this.leaves(j.child, out, seen);
    return out;
  }

  /** The joints from base to tip: the root and the only leaf unless named. */
  chain(baseName, tipName) {
    const base = baseName ? this.links.get(baseName) : this.root;
    if (!base) this.fail(0, `unknown base link ${quoted(baseName)}`);
    const below = this.leaves(base, [], new Set());
    let tip;
    if (tipName) {
      tip = this.links.get(tipName);
      if (!tip) this.fail(0, `unknown tip link ${quoted(tipName)}`);
    } else if (below.length !== 1) {
      this.fail(0, `ambiguous chain: ${below.length} candidate tip links below ${quoted(base.name)} (${below.slice(0, 4).map((l) => quoted(l.name)).join(', ')}); name the tip link`);
    } else {
      tip = below[0];
    }
    const joints = [];
    for (let link = tip; link !== base; link = link.parent.parent) {
      if (!link.parent) this.fail(0, `tip link ${quoted(tip.name)} is not below base link ${quoted(base.name)}`);
      joints.unshift(link.parent);
    }
    return { base, tip, joints };
  }
}

/** Whether the URDF draws its links (<visual> with a geometry). */
export function urdfHasVisuals(text) {
  return /<visual[\s>][\s\S]*?<geometry[\s>]/.test(text);
}

/** The binding's values of a URDF file; throws ArmFileError. */
export function readUrdfText(text, file, { baseLink = '', tipLink = '' } = {}) {
  checkText(text, file, 'XML');
  const reader = new UrdfReader(text, file);
  reader.parse();
  const { base, tip, joints } = reader.chain(baseLink, tipLink);
  // The count of movable joints and sliding wrist joints are the library's
  // to check (describeArm); here what it cannot see.
  for (const j of joints) {
    if (j.type === 'floating' || j.type === 'planar') {
      reader.fail(j.line, `joint ${quoted(j.name)}: unsupported joint type ${quoted(j.type)} (arm joints are revolute, continuous or prismatic)`);
    }
    if (j.type !== 'fixed' && j.mimic !== null) {
      reader.fail(j.line, `joint ${quoted(j.name)} is coupled: it mimics joint ${quoted(j.mimic)}; armkin needs six independent joints`);
    }
  }
  return {
    form: 'urdf',
    name: reader.name,
    baseLink: base.name,
    tipLink: tip.name,
    chain: joints.map((j) => ({
      name: j.name, type: j.type, xyz: j.xyz, rpy: j.rpy, axis: j.axis, limits: j.limits, line: j.line,
    })),
  };
}
