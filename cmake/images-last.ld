/* Memory layout of the tool: its two file images, 200000 bytes each, go
   after every other variable of the process.

   The kernel clears the end of the last page of initialised data, and so
   touches it, before the program starts. With the images last, that one
   page also holds the C library's variables, the tool's own and the start
   of the first image, and a call of the tool takes a page fault only for
   the start of the second. Left where the linker puts them, the images
   come before the C library's variables, which then cost one or two pages
   of their own, and the first image a third.

   The images' sections are named so that compilers keep them out of the
   file, as they do .bss, while the linker's default rules leave them to
   this one. Used with the default script (INSERT), not instead of it. */
SECTIONS
{
  .tarnwick_images :
  {
    *(.sbss.tarnwick_image.first)
    *(.sbss.tarnwick_image.second)
  }
}
INSERT AFTER .bss;
