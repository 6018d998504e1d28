// Drain: swirls and shrinks into the centre in F/2 steps, then flows back.
// (See twist.js.)
import { twistEffect } from './twist.js';

export const { allImages, cycle, pixels, canvas } = twistEffect(true);
