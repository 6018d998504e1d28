// Vertical Waves: columns shift up and down. (See waves.js.)
import { wavesEffect } from './waves.js';

export const { allImages, cycle, pixels, canvas } = wavesEffect(false, true);
