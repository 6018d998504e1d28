// The player's interface: window.GlimmeraxPlayer on a page, module.exports
// under Node (see main.js), and what the unit tests import.
import { CLASS_FILES, EFFECTS, effectFor, parseParams, parseColour, isSafeLink } from './core/params.js';
import { createRenderer } from './core/renderer.js';
import { scan, scanWhenReady, listPlayers } from './core/page.js';

export const VERSION = 1;

export const api = {
  version: VERSION,
  classFiles: CLASS_FILES.slice(),
  effects: EFFECTS,
  effectFor,
  parseParams,
  parseColour,
  isSafeLink,
  createRenderer,
  scan,
  scanWhenReady,
  // The players of the page's applets, each with destroy().
  players: listPlayers,
};
