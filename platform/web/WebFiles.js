// The page's files: the program writes them into the page's memory (its
// state folder is /varnomiksal); the user takes one as a download.
Module.varnoFiles = {
  // The file's bytes, or null when there is none.
  read(path) {
    try {
      return FS.readFile(path);
    } catch (e) {
      return null;
    }
  },
  // Offers the file as a download named `name`; false when there is none.
  download(path, name) {
    const bytes = Module.varnoFiles.read(path);
    if (!bytes) return false;
    const url = URL.createObjectURL(new Blob([bytes], { type: 'text/plain' }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
    return true;
  },
};
