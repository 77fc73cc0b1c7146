// An arm file's values for the library, the reader chosen by the file name
// as the native loadArm chooses it: .urdf and .xml are URDF, anything else
// is a YAML arm file.

import { readUrdfText } from './urdf_arm.js';
import { readArmFileText } from './yaml_arm.js';

export { ArmFileError } from './arm_file_error.js';
export { urdfHasVisuals } from './urdf_arm.js';

export function isUrdfName(file) {
  return /\.(urdf|xml)$/i.test(file);
}

/** The values of the file's text; throws ArmFileError with the reason. */
export function readArmText(text, file) {
  return isUrdfName(file) ? readUrdfText(text, file) : readArmFileText(text, file);
}
