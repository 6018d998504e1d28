// Whirlpool: a twist round the centre that winds up and unwinds in F steps.
// (See twist.js.)
import { twistEffect } from './twist.js';

export const { allImages, cycle, pixels, canvas } = twistEffect(false);
