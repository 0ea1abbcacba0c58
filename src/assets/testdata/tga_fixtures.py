# Writes TGA fixtures with PIL and netpbm pamtotga into the folder named by the first
# argument, each with a .rgba file holding the pixels as PIL reads them (bottom row first), and
# a manifest listing "name width height flags" (t: 16-bit source, compare within 1;
# o: the file has 32-bit pixels without alpha bits, so the decoder makes them opaque).
import sys, os, random, struct, subprocess
from PIL import Image
out = sys.argv[1]
rnd = random.Random(11)
manifest = []

def runs_image(mode, w, h, colours):
    # Rows of short runs so run-length packets of both kinds occur.
    pal = [tuple(rnd.randrange(256) for _ in range(4)) for _ in range(colours)]
    data = []
    while len(data) < w * h:
        c = rnd.choice(pal)
        data.extend([c] * rnd.choice([1, 1, 2, 3, 7, 130]))
    im = Image.new('RGBA', (w, h))
    im.putdata(data[:w * h])
    return im.convert(mode) if mode != 'RGBA' else im

def reference(name, path, flags='', alpha=None, pil_path=None):
    im = Image.open(pil_path or path)
    im.load()
    rgba = im.convert('RGBA')
    if alpha is not None:
        r, g, b, _ = rgba.split()
        a = Image.new('L', rgba.size)
        a.putdata(alpha)
        rgba = Image.merge('RGBA', (r, g, b, a))
    rgba = rgba.transpose(Image.FLIP_TOP_BOTTOM)
    open(os.path.join(out, name + '.rgba'), 'wb').write(rgba.tobytes())
    manifest.append('%s %d %d %s' % (name, rgba.size[0], rgba.size[1], flags or '-'))

def pil(name, im, **kw):
    path = os.path.join(out, name + '.tga')
    im.save(path, format='TGA', **kw)
    reference(name, path)

W, H = 23, 9
base = runs_image('RGBA', W, H, 40)
pil('pil_rgb', base.convert('RGB'))
pil('pil_rgba', base)
pil('pil_l', base.convert('L'))
pil('pil_la', base.convert('LA'))
pil('pil_p', base.convert('RGB').convert('P', palette=Image.ADAPTIVE, colors=40))
pil('pil_rgb_rle', base.convert('RGB'), compression='tga_rle')
pil('pil_rgba_rle', base, compression='tga_rle')
pil('pil_l_rle', base.convert('L'), compression='tga_rle')
pil('pil_la_rle', base.convert('LA'), compression='tga_rle')
pil('pil_p_rle', base.convert('RGB').convert('P', palette=Image.ADAPTIVE, colors=40), compression='tga_rle')
pil('pil_rgba_top', base, orientation=1)
pil('pil_rgb_rle_top', base.convert('RGB'), compression='tga_rle', orientation=1)
pil('pil_id_section', base, id_section=b'made by a test')
pil('pil_wide', runs_image('RGBA', 300, 2, 3), compression='tga_rle')

def netpbm(name, args, source, flags='', pil_patch=None):
    path = os.path.join(out, name + '.tga')
    with open(path, 'wb') as f:
        subprocess.run(['pamtotga'] + args + [source], stdout=f, stderr=subprocess.DEVNULL, check=True)
    pil_path = None
    if pil_patch:
        data = bytearray(open(path, 'rb').read())
        pil_patch(data)
        pil_path = path + '.pil'
        open(pil_path, 'wb').write(bytes(data))
    reference(name, path, flags, pil_path=pil_path)

ppm = os.path.join(out, 'src.ppm')
base.convert('RGB').save(ppm)
pgm = os.path.join(out, 'src.pgm')
base.convert('L').save(pgm)
pam = os.path.join(out, 'src.pam')
with open(pam, 'wb') as f:
    f.write(b'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' % (W, H))
    f.write(base.tobytes())
def entry_size_16(d): d[7] = 16
netpbm('nb_cmap_rle', ['-cmap'], ppm)
netpbm('nb_cmap_raw', ['-cmap', '-norle'], ppm)
# 15-bit map entries; PIL reads the same words only when told they are 16-bit.
netpbm('nb_cmap16', ['-cmap16'], ppm, 't', entry_size_16)
netpbm('nb_cmap16_raw', ['-cmap16', '-norle'], ppm, 't', entry_size_16)
netpbm('nb_rgb_rle', ['-rgb'], ppm)
netpbm('nb_rgb_raw', ['-rgb', '-norle'], ppm)
netpbm('nb_mono', ['-mono'], pgm)
netpbm('nb_mono_raw', ['-mono', '-norle'], pgm)
netpbm('nb_rgba32', [], pam, 'o')
netpbm('nb_named', ['-name', 'ostrevane'], ppm)

# 16-bit true colour (PIL reads but does not write it): alpha from bit 15 with one alpha bit.
# PIL cannot read 16-bit run-length files: the run-length file is compared with PIL's
# reading of the raw file holding the same words.
w, h = 13, 6
words = [rnd.randrange(65536) for _ in range(w * h)]
for i in range(0, len(words) - 3, 9):
    words[i + 1] = words[i + 2] = words[i]
for name, alpha_bits, rle in (('hand16_a1', 1, False), ('hand16_a0', 0, False), ('hand16_a1_rle', 1, True)):
    body = b''.join(struct.pack('<H', v) for v in words)
    if rle:
        packed = bytearray()
        i = 0
        while i < len(words):
            j = i
            while j + 1 < len(words) and words[j + 1] == words[i] and j - i < 127:
                j += 1
            if j > i:
                packed += bytes([0x80 | (j - i)]) + struct.pack('<H', words[i])
                i = j + 1
            else:
                packed += bytes([0]) + struct.pack('<H', words[i])
                i += 1
        body = bytes(packed)
    header = struct.pack('<BBBHHBHHHHBB', 0, 0, 10 if rle else 2, 0, 0, 0, 0, 0, w, h, 16, alpha_bits)
    path = os.path.join(out, name + '.tga')
    open(path, 'wb').write(header + body)
    # PIL's rows are top-first after its own flip; the file is bottom-up: alpha row y is file row h-1-y.
    alpha = []
    for y in range(h):
        for x in range(w):
            v = words[(h - 1 - y) * w + x]
            alpha.append(255 if alpha_bits == 0 or v & 0x8000 else 0)
    reference(name, path, 't', alpha=alpha, pil_path=os.path.join(out, 'hand16_a1.tga') if rle else None)

open(os.path.join(out, 'manifest'), 'w').write('\n'.join(manifest) + '\n')
