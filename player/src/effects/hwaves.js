// Horizontal Waves: rows shift sideways. (See waves.js.)
import { wavesEffect } from './waves.js';

export const { allImages, cycle, pixels, canvas } = wavesEffect(true, false);
