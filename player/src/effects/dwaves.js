// Dual Waves: rows and columns both. (See waves.js.)
import { wavesEffect } from './waves.js';

export const { allImages, cycle, pixels, canvas } = wavesEffect(true, true);
